#pragma once

// Ends the message loop when the process is asked to stop (SIGTERM, SIGINT,
// SIGHUP), so the windows are destroyed and the capture device shut down as on
// a normal exit.
void QuitOnTerminationSignals();
