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
namespace fakemicrophone {

// Registers the microphones with this process's GStreamer (after gst_init). True once they are there.
bool Register();

// Adds the provider to a plugin (the loadable copy on GST_PLUGIN_PATH shares one with the cameras).
gboolean PluginInit(GstPlugin *plugin);

void SetPlugged(const char *name, bool plugIn);

} // namespace fakemicrophone
