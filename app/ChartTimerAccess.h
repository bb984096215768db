#pragma once

class QTimer;

// The main window's chart timer (FormMain->ChartTimer) and its tick handler
// (FormMain->ChartTimerTimer), for the chart window's options. The statistics
// windows are built before the main window's class and cannot include it.
QTimer *MainChartTimer();
void RunMainChartTimerTick();
