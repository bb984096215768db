// The fake cameras and microphones as a loadable plugin: put its folder on GST_PLUGIN_PATH to
// see them in the program itself.
#include "tests/support/FakeCamera.h"

#define PACKAGE "vantrel-tests"

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vantrelfakecamera, "Devices that are not there",
                  fakecamera::PluginInit, "1.0", "LGPL", "vantrel tests", "local")
