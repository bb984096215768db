#pragma once

// Starts GStreamer once for the whole program, whoever asks first (the capture, the
// microphones, a test); false when it cannot run here. Safe to call again.
bool StartGStreamer();
