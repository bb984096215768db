#pragma once

#include "base/seams/Seam.h"
#include "capture/CapturePlatform.h"

#include <memory>

// Makes the capture platform the capture device talks to. Tests install a
// scripted platform here.
extern Seam<std::unique_ptr<CapturePlatform>()> MakeCapturePlatform;
