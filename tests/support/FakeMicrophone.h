#pragma once

#include <gst/gst.h>

// Sound sources that are not there, listed by GStreamer's device monitor as "Audio/Source"
// devices the way a sound server lists them:
// - "Fake Microphone": a live sine tone;
// - "Broken Microphone": its element fails to start, with a read error, as a microphone
//   that another program holds or that the system refuses;
// - "Monitor of Fake Speakers" (device.class monitor): what the speakers play.
// A started device monitor hears of microphones plugged in and removed (SetPlugged); a running
// element of one pulled out fails with a read error, and one made from it fails to start.
// They come with the fake cameras: fakecamera::Register() and its plug-in list them too.
namespace fakemicrophone {

void SetPlugged(const char *name, bool plugIn);

} // namespace fakemicrophone
