#pragma once

// Ends the message loop when the process is asked to stop (SIGTERM, SIGINT,
// SIGHUP), so the windows are destroyed and the capture device shut down as on
// a normal exit. Every loop running then ends (a message box's too), and none
// starts again: no window is asked whether it may close.
void QuitOnTerminationSignals();

// True once the process has been asked to stop: the main message loop, not yet
// running when a box of the start-up was open, must then not start.
bool TerminationRequested();
