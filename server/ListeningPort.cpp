#include "server/ListeningPort.h"

namespace listening {

Seam<int(int)> Port{[](int chosenPort) { return chosenPort; }};
Seam<int(int)> RtspPort{[](int chosenPort) { return chosenPort; }};

} // namespace listening
