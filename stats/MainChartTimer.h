#pragma once

#include <functional>

class QTimer;

// The request chart's timer belongs to the main window; the chart window's
// options reach it here. The main window links its timer and tick handler
// when it builds them.
void LinkMainChartTimer(QTimer *timer, std::function<void()> tick);
QTimer *MainChartTimer();
void RunMainChartTimerTick();
