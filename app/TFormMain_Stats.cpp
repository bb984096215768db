// The request chart's timer: each tick turns the requests counted since the
// last one into a point of the chart.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "stats/MainChartTimer.h"
#include "stats/RequestCount.h"
#include "stats/TFormChart.h"

#include <QTimer>

void TFormMain::startChartTimer()
{
    RequestCount = 0;
    ChartTimer = new QTimer(this);
    ChartTimer->setObjectName(QStringLiteral("ChartTimer"));
    ChartTimer->setInterval(60000);
    ChartTimer->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5% early or late
    ConnectGuarded(ChartTimer, &QTimer::timeout, this, &TFormMain::ChartTimerTimer);
    LinkMainChartTimer(ChartTimer, [this] { ChartTimerTimer(); });
    ChartTimer->start();
}

void TFormMain::ChartTimerTimer()
{
    FormChart->AddChartPoint(RequestCount, seams::Now());
    RequestCount = 0;
}
