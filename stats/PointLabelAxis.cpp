#include "stats/PointLabelAxis.h"

#include <QCategoryAxis>
#include <QFontMetrics>
#include <QHash>

#include <cmath>

namespace {

// The axis wants a different text for every category, but two points can
// carry the same minute. Invisible zero-width spaces tell them apart.
const QChar Invisible(0x200B);

QString visibleText(const QString &categoryLabel)
{
    QString text = categoryLabel;
    text.remove(Invisible);
    return text;
}

} // namespace

PointLabelAxis::PointLabelAxis(QCategoryAxis *axis) : axis_(axis)
{
    axis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    rebuild();
}

void PointLabelAxis::append(const QString &label)
{
    labels_.append(label);
    rebuild();
}

void PointLabelAxis::clear()
{
    labels_.clear();
    rebuild();
}

void PointLabelAxis::fitTo(qreal plotWidth)
{
    if (plotWidth == plotWidth_)
        return;
    plotWidth_ = plotWidth;
    rebuild();
}

QList<std::pair<int, QString>> PointLabelAxis::shownLabels() const
{
    QList<std::pair<int, QString>> shown;
    for (const QString &category : axis_->categoriesLabels())
        shown.append({static_cast<int>(axis_->endValue(category)), visibleText(category)});
    return shown;
}

int PointLabelAxis::labelStep() const
{
    const QFontMetricsF metrics(axis_->labelsFont());
    const qreal spacing = metrics.horizontalAdvance(QStringLiteral("00:00")) * 1.5;
    const auto fitting = std::max<qsizetype>(1, static_cast<qsizetype>(plotWidth_ / spacing));
    return static_cast<int>(std::max<qsizetype>(1, (labels_.size() + fitting - 1) / fitting));
}

void PointLabelAxis::rebuild()
{
    const QStringList old = axis_->categoriesLabels();
    for (const QString &category : old)
        axis_->remove(category);

    const int step = labelStep();
    QHash<QString, int> repeats;
    for (qsizetype x = 0; x < labels_.size(); x += step) {
        const QString &label = labels_.at(x);
        axis_->append(label + QString(repeats[label]++, Invisible), static_cast<qreal>(x));
    }
    axis_->setRange(0, std::max<qsizetype>(1, labels_.size() - 1));
}
