#pragma once

// The number of requests received since the last chart point. The server
// raises it while the chart is enabled; the main window's chart timer turns it
// into a point and sets it back to 0.
extern int RequestCount;
