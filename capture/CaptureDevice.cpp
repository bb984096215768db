#include "capture/CaptureDevice.h"

#include "base/widgets/WindowPlacement.h"

#include <algorithm>

namespace {
// Driver texts are cut like the fixed 80-character buffers they came from.
constexpr int MaxDescriptionPart = 79;

DriverEntry entryOf(int index, const DriverDescription &driver)
{
    return {QStringLiteral("%1, %2").arg(driver.name.left(MaxDescriptionPart), driver.version.left(MaxDescriptionPart)),
            index};
}
} // namespace

CaptureDevice::CaptureDevice(QWidget *parentWindow, std::unique_ptr<CapturePlatform> platform)
    : parentWindow_(parentWindow), platform_(std::move(platform))
{
    captureWindow_ =
        platform_->createCaptureWindow(parentWindow, QStringLiteral("My Capture Window"), QRect(0, 0, 300, 200));
    EnumerateDrivers();
    platform_->setFrameListener([this] { frameArrived(); });
    platform_->setDriverListener([this](const DriverChange &change) { driverChanged(change); });
    platform_->setConnectListener([this](int index, bool connected) { connectEnded(index, connected); });
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
        driverNames_.append(entryOf(index, *driver));
    }
}

void CaptureDevice::SelectDriver(int index)
{
    if (!captureWindowAlive())
        return;
    chosenDriver_ = index;
    connecting_ = -1;
    dropLostDriversBut(index);
    if (currentDriver_ != -1) {
        platform_->setPreview(false);
        platform_->connectDriver(currentDriver_);
    }
    switch (platform_->connectDriver(index)) {
    case Connection::Connected:
        finishConnect(index);
        break;
    case Connection::Pending:
        connecting_ = index;
        break;
    case Connection::Refused:
        break;
    }
}

// A connect that failed leaves everything as it is: the preview off, the old driver current.
// One the platform began itself (a new image size) fits the windows to its picture.
void CaptureDevice::connectEnded(int index, bool connected)
{
    const bool chosen = index == connecting_;
    if (chosen)
        connecting_ = -1;
    if (connected && chosen)
        finishConnect(index);
    else if (connected)
        FitWindows(true);
}

void CaptureDevice::finishConnect(int index)
{
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
    fitted_ = QSize(size->width, size->height);
    // The picture is never cut: a frame larger than 15 by 30 makes the window larger.
    if (resizeParent && parentWindow_)
        windowplacement::ResizeOuter(parentWindow_, fitted_ + QSize(15, 30), fitted_);
    captureWindow_->resize(fitted_);
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

void CaptureDevice::SetFrameListener(std::function<void()> listener) { frameListener_ = std::move(listener); }

void CaptureDevice::SetFrameTap(std::shared_ptr<FrameTap> tap)
{
    if (platform_)
        platform_->setFrameTap(std::move(tap));
}

// A source may tell its image size only with a frame that comes after the
// connection; the windows are fitted to it then. A size fitted once is left
// to the person until the image size changes again.
void CaptureDevice::frameArrived()
{
    if (frameListener_)
        frameListener_();
    if (!captureWindowAlive())
        return;
    const std::optional<CaptureImageSize> size = platform_->status();
    if (size && QSize(size->width, size->height) != fitted_)
        FitWindows(true);
}

void CaptureDevice::SetCameraListener(std::function<void(const QString &, bool)> listener)
{
    cameraListener_ = std::move(listener);
}

void CaptureDevice::driverChanged(const DriverChange &change)
{
    auto listed = std::find_if(driverNames_.begin(), driverNames_.end(),
                               [&](const DriverEntry &entry) { return entry.index == change.index; });
    if (change.present) {
        lostDrivers_.remove(change.index);
        if (listed != driverNames_.end())
            *listed = entryOf(change.index, change.driver);
        else // before the test pattern, which is always last
            driverNames_.insert(std::max<qsizetype>(0, driverNames_.size() - 1), entryOf(change.index, change.driver));
    } else if (listed != driverNames_.end()) {
        if (change.index == chosenDriver_)
            lostDrivers_.insert(change.index);
        else
            driverNames_.erase(listed);
    }
    if (cameraListener_)
        cameraListener_(change.driver.name, change.present);
}

void CaptureDevice::dropLostDriversBut(int index)
{
    driverNames_.removeIf(
        [&](const DriverEntry &entry) { return entry.index != index && lostDrivers_.contains(entry.index); });
    lostDrivers_.removeIf([&](int each) { return each != index; });
}
