#include "capture/CapturePlatformFactory.h"
#include "gst/GstStart.h"

#include "capture/NoCapturePlatform.h"
#include "capture/gstreamer/GstCapturePlatform.h"

namespace {
std::unique_ptr<CapturePlatform> makeSystemPlatform()
{
    if (!StartGStreamer())
        return std::make_unique<NoCapturePlatform>();
    std::unique_ptr<CameraWatch> watch = CameraWatch::start();
    if (!watch)
        return std::make_unique<GstCapturePlatform>(ListCaptureSources());
    QList<GstDevice *> cameras;
    const std::vector<gstref::Device> present = watch->cameras();
    for (const gstref::Device &camera : present)
        cameras.append(camera.get());
    auto platform = std::make_unique<GstCapturePlatform>(CaptureSourcesOf(cameras));
    platform->followCameras(std::move(watch));
    return platform;
}
} // namespace

Seam<std::unique_ptr<CapturePlatform>()> MakeCapturePlatform{makeSystemPlatform};
