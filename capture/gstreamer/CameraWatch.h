#pragma once

#include "gst/DeviceWatch.h"

// Follows the cameras the system reports while the program runs.
class CameraWatch : public DeviceWatch {
public:
    // A running watch, or null when no provider of this system can follow cameras.
    static std::unique_ptr<CameraWatch> start();

    // The cameras there now, in the system's order (each with a reference for the caller).
    std::vector<gstref::Device> cameras() const { return devices(); }

private:
    CameraWatch() : DeviceWatch("Video/Source") {}
};
