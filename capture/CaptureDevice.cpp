#include "capture/CaptureDevice.h"

#include "base/widgets/WindowPlacement.h"

namespace {
// Driver texts are cut like the fixed 80-character buffers they came from.
constexpr int MaxDescriptionPart = 79;
} // namespace

CaptureDevice::CaptureDevice(QWidget *parentWindow, std::unique_ptr<CapturePlatform> platform)
    : parentWindow_(parentWindow), platform_(std::move(platform))
{
    captureWindow_ = platform_->createCaptureWindow(parentWindow, QStringLiteral("My Capture Window"), QRect(0, 0, 300, 200));
    EnumerateDrivers();
}

CaptureDevice::~CaptureDevice()
{
    driverNames_.clear();
    if (!captureWindowAlive())
        return;
    platform_->setPreview(false);
    platform_->connectDriver(currentDriver_);
    platform_->disconnectDriver();
}

void CaptureDevice::EnumerateDrivers()
{
    driverNames_.clear();
    for (int index = 0;; ++index) {
        const std::optional<DriverDescription> driver = platform_->driverDescription(index);
        if (!driver)
            break;
        driverNames_.append({QStringLiteral("%1, %2").arg(driver->name.left(MaxDescriptionPart),
                                                           driver->version.left(MaxDescriptionPart)),
                             index});
    }
}

void CaptureDevice::SelectDriver(int index)
{
    if (!captureWindowAlive())
        return;
    if (currentDriver_ != -1) {
        platform_->setPreview(false);
        platform_->connectDriver(currentDriver_);
    }
    if (!platform_->connectDriver(index))
        return;
    FitWindows(true);
    SetOverlay(false);
    currentDriver_ = index;
}

void CaptureDevice::FitWindows(bool resizeParent)
{
    if (!captureWindowAlive())
        return;
    const std::optional<CaptureImageSize> size = platform_->status();
    if (!size)
        return;
    if (resizeParent && parentWindow_)
        windowplacement::ResizeOuter(parentWindow_, QSize(size->width + 15, size->height + 30));
    captureWindow_->resize(size->width, size->height);
}

void CaptureDevice::ShowFormatDialog()
{
    if (!captureWindowAlive())
        return;
    platform_->showFormatDialog(parentWindow_);
    FitWindows(true);
}

void CaptureDevice::ShowSourceDialog()
{
    if (captureWindowAlive())
        platform_->showSourceDialog(parentWindow_);
}

bool CaptureDevice::StartPreview()
{
    if (!captureWindowAlive())
        return false;
    platform_->setPreviewRate(PreviewRate);
    return platform_->setPreview(true);
}

bool CaptureDevice::SetOverlay(bool on)
{
    if (on) {
        if (captureWindowAlive() && platform_->setOverlay(true))
            return true;
        StartPreview();
        return false;
    }
    if (captureWindowAlive())
        platform_->setOverlay(false);
    StartPreview();
    return true;
}

CapturedFrame CaptureDevice::SaveFrameToMemory()
{
    if (!captureWindowAlive())
        return {};
    return platform_->currentFrame();
}

QString CaptureDevice::FrameSource()
{
    if (!captureWindowAlive())
        return QStringLiteral("a frame: the capture window is gone");
    return platform_->frameSource();
}

void CaptureDevice::SetFrameListener(std::function<void()> listener) { platform_->setFrameListener(std::move(listener)); }
