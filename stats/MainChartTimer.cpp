#include "stats/MainChartTimer.h"

#include <QPointer>
#include <QTimer>

#include <utility>

namespace {
QPointer<QTimer> linkedTimer;
std::function<void()> &linkedTick()
{
    static std::function<void()> tick;
    return tick;
}
} // namespace

void LinkMainChartTimer(QTimer *timer, std::function<void()> tick)
{
    linkedTimer = timer;
    linkedTick() = std::move(tick);
}

QTimer *MainChartTimer() { return linkedTimer; }

void RunMainChartTimerTick()
{
    if (linkedTick())
        linkedTick()();
}
