#include "stats/TFormChart.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/widgets/WindowStyles.h"
#include "stats/MainChartTimer.h"
#include "stats/RequestCount.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

constexpr int MillisecondsPerSecond = 1000;

// The smallest of 1, 2, 5, 10, 20, 50... that splits 0..top into at most five steps.
int tickInterval(qreal top)
{
    for (int magnitude = 1;; magnitude *= 10) {
        for (const int factor : {1, 2, 5}) {
            if (top <= 5.0 * factor * magnitude)
                return factor * magnitude;
        }
    }
}

} // namespace

TFormChart::TFormChart(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    windowstyle::ToolWindowWithCloseBox(this, 622, 194);
    // Below the always-on-top preview and the main window beside it, not under them.
    move(0, 470);
    setUpChart();
    connectHandlers();
    // Laid out once now, so the layout follows later resizes also while the
    // window has never been shown.
    layout()->activate();
    layOutChart();
}

TFormChart::~TFormChart() = default;

void TFormChart::setUpChart()
{
    QChart *chart = Chart->chart();
    chart->setTitle(QStringLiteral("Vantrel Stastistics (Requests / Specified Interval)"));
    chart->setTitleFont(QFont(QStringLiteral("Arial"), 8));
    chart->setTitleBrush(Qt::black);
    chart->legend()->hide();
    chart->setPlotAreaBackgroundVisible(false);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 0, 8, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);

    Series1 = new QLineSeries(chart);
    Series1->setColor(Qt::red);
    chart->addSeries(Series1);
    setUpAxes();
}

void TFormChart::setUpAxes()
{
    QChart *chart = Chart->chart();
    auto *timeAxis = new QCategoryAxis(chart);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    Series1->attachAxis(timeAxis);
    labels_ = std::make_unique<PointLabelAxis>(timeAxis);
    // The last point's label is centred on the plot's right edge: the margin holds its right half.
    const int halfLabel = QFontMetrics(timeAxis->labelsFont()).horizontalAdvance(QStringLiteral("00:00")) / 2 + 2;
    const QMargins margins = chart->margins();
    chart->setMargins(QMargins(margins.left(), margins.top(), std::max(margins.right(), halfLabel), margins.bottom()));

    valueAxis_ = new QValueAxis(chart);
    valueAxis_->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis_->setTickType(QValueAxis::TicksDynamic);
    valueAxis_->setTickAnchor(0);
    chart->addAxis(valueAxis_, Qt::AlignLeft);
    Series1->attachAxis(valueAxis_);
    fitValueAxis();
}

void TFormChart::connectHandlers()
{
    ConnectGuarded(SpinEditChartUpdate, &QSpinBox::valueChanged, this, &TFormChart::SpinEditChartUpdateChange);
    ConnectGuarded(CheckBoxChartEnable, &QCheckBox::toggled, this, &TFormChart::CheckBoxChartEnableClick);
    ConnectGuarded(Button1, &QPushButton::clicked, this, &TFormChart::Button1Click);
    ConnectGuarded(Button2, &QPushButton::clicked, this, &TFormChart::Button2Click);
}

void TFormChart::AddChartPoint(int count, const QDateTime &now)
{
    Series1->append(static_cast<qreal>(Series1->count()), count);
    labels_->append(now.toString(QStringLiteral("hh:mm")));
    fitValueAxis();
    layOutChart();
}

void TFormChart::CountRequest()
{
    if (CheckBoxChartEnable->isChecked())
        ++RequestCount;
}

void TFormChart::fitValueAxis()
{
    qreal highest = 1;
    for (const QPointF &point : Series1->points())
        highest = std::max(highest, point.y());
    const int interval = tickInterval(highest);
    valueAxis_->setTickInterval(interval);
    valueAxis_->setRange(0, interval * std::ceil(highest / interval));
}

void TFormChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layOutChart();
}

// The chart lays itself out on a posted event; a picture taken of the window
// before that event (the server takes one also while the window is hidden)
// needs the layout now.
void TFormChart::layOutChart()
{
    QChart *chart = Chart->chart();
    chart->resize(Chart->size());
    chart->layout()->activate();
    labels_->fitTo(chart->plotArea().width());
    chart->layout()->activate();
}

void TFormChart::SpinEditChartUpdateChange()
{
    const int interval = SpinEditChartUpdate->value() * MillisecondsPerSecond;
    QTimer *timer = MainChartTimer();
    if (!timer)
        return;
    // A running timer starts counting again whenever it is given an interval.
    if (timer->interval() != interval)
        timer->setInterval(interval);
}

void TFormChart::CheckBoxChartEnableClick()
{
    QTimer *timer = MainChartTimer();
    if (!timer)
        return;
    if (!CheckBoxChartEnable->isChecked())
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

void TFormChart::Button1Click() { RunMainChartTimerTick(); }

void TFormChart::Button2Click()
{
    Series1->clear();
    labels_->clear();
    fitValueAxis();
    layOutChart();
}
