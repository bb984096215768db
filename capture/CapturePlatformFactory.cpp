#include "capture/CapturePlatformFactory.h"

#include "capture/NoCapturePlatform.h"
#include "capture/gstreamer/GstCapturePlatform.h"

namespace {
std::unique_ptr<CapturePlatform> makeSystemPlatform()
{
    if (!GstCapturePlatform::initialise())
        return std::make_unique<NoCapturePlatform>();
    return std::make_unique<GstCapturePlatform>(ListCaptureSources());
}
} // namespace

Seam<std::unique_ptr<CapturePlatform>()> MakeCapturePlatform{makeSystemPlatform};
