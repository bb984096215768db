#include "capture/gstreamer/CameraWatch.h"

std::unique_ptr<CameraWatch> CameraWatch::start()
{
    std::unique_ptr<CameraWatch> watch(new CameraWatch);
    if (!watch->follow())
        return nullptr;
    return watch;
}
