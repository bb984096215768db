#include "capture/CapturePlatformFactory.h"

#include "capture/NoCapturePlatform.h"

Seam<std::unique_ptr<CapturePlatform>()> MakeCapturePlatform{
    []() -> std::unique_ptr<CapturePlatform> { return std::make_unique<NoCapturePlatform>(); }};
