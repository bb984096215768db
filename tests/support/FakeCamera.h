#pragma once

#include <gst/gst.h>

// Two cameras that are not there, listed by GStreamer's device monitor the
// way V4L2 cameras are ("Video/Source", device.api v4l2, a device path, a
// driver name and version):
// - "Fake Camera" (/dev/video-fake0): YUY2 at 320x240 and 640x480, MJPEG at
//   1280x720 and 1920x1080, with brightness, contrast, saturation and hue;
// - "Fake MJPEG Camera" (/dev/video-fake1): MJPEG at 640x480 and 1280x720 only;
// - two "Fake USB Camera"s (/dev/video-fake2 and -fake3, the same serial as two of a kind without serial
//   numbers have): YUY2 at 320x240 at 30 fps and 1280x720 at 10, MJPEG at 1280x720 at 30; not
//   plugged in at first.
// A started device monitor hears of cameras plugged in and removed (SetPlugged).
// Their elements give a moving picture, as JPEG when the pipeline asks for it.
// Setting "unplug-after" on a running element to N lets N more frames through;
// then the element reports a read error and sends nothing more, as an unplugged
// camera does. In a program run with the plug-in, FAKE_CAMERA_UNPLUG_AFTER=N
// does the same to the first element made, and FAKE_CAMERA_PLUG_IN_AFTER=S plugs
// "Fake USB Camera" in S seconds after the device monitor starts, and
// FAKE_CAMERA_MOTION_FILE=<path> makes every camera's picture black, and snow
// while that file is there.
namespace fakecamera {

// Registers the cameras with this process's GStreamer (after gst_init). True once they are there.
bool Register();

// The plugin's entry, for the loadable copy on GST_PLUGIN_PATH.
gboolean PluginInit(GstPlugin *plugin);

// How many source elements of the fake cameras are alive now.
int ElementsAlive();

// Sets "unplug-after" on every element of the fake cameras alive now.
void UnplugAll(int afterFrames);

// Plugs the camera of that name (the first of them) or device path in, or pulls it out: a
// running device monitor hears of it, and the camera's running elements fail with a read error.
void SetPlugged(const char *nameOrPath, bool plugIn);

// While set, elements made from then on deliver nothing and report nothing: a camera that hangs.
void SetHung(bool hung);

// Every element of the fake cameras alive now stops delivering, without a word.
void HangAll();

} // namespace fakecamera
