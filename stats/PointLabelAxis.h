#pragma once

#include <QStringList>

class QCategoryAxis;

// The request chart's horizontal axis: point i sits at x position i and
// carries a text label. Labels are thinned out evenly when the plot is too
// narrow for all of them, so the ones shown never overlap.
class PointLabelAxis {
public:
    explicit PointLabelAxis(QCategoryAxis *axis);

    void append(const QString &label);
    void clear();

    // Width of the plot area in pixels; decides how many labels fit.
    void fitTo(qreal plotWidth);

    // Every point's label, in order, whether shown or not.
    const QStringList &labels() const { return labels_; }

    // The labels the axis shows, by x position.
    QList<std::pair<int, QString>> shownLabels() const;

private:
    int labelStep() const;
    void rebuild();

    QCategoryAxis *axis_;
    QStringList labels_;
    qreal plotWidth_ = 0;
};
