#pragma once

#include "base/seams/Seam.h"

// The port the listener really binds to for the port chosen in the window. The program
// binds to the chosen port; tests let the system pick a free one, so that no suite ever
// depends on a fixed port being free.
namespace listening {

extern Seam<int(int chosenPort)> Port;
// The same for the RTSP server; a negative answer keeps it off.
extern Seam<int(int chosenPort)> RtspPort;

} // namespace listening
