// The fake cameras and microphones as a loadable plugin: put its folder on GST_PLUGIN_PATH
// to see them in the program itself.
#include "tests/support/FakeCamera.h"
#include "tests/support/FakeMicrophone.h"

#define PACKAGE "vantrel-tests"

namespace {

gboolean pluginInit(GstPlugin *plugin) { return fakecamera::PluginInit(plugin) && fakemicrophone::PluginInit(plugin); }

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vantrelfakecamera, "Devices that are not there", pluginInit,
                  "1.0", "LGPL", "vantrel tests", "local")
