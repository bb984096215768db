#include "capture/gstreamer/GstCapturePlatform.h"

#include "capture/CaptureWindow.h"
#include "capture/FormatChooser.h"
#include "capture/gstreamer/SourceChooser.h"

namespace {
// How often a connect on its way is looked at.
constexpr int ConnectLookMs = 20;
} // namespace

GstCapturePlatform::GstCapturePlatform(QList<CaptureSource> sources) : sources_(std::move(sources))
{
    QObject::connect(&connectLooks_, &QTimer::timeout, &connectLooks_, [this] { lookAtConnect(); });
}

GstCapturePlatform::~GstCapturePlatform() = default;

QWidget *GstCapturePlatform::createCaptureWindow(QWidget *parent, const QString &title, const QRect &geometry)
{
    auto *window = new CaptureWindow(parent, [this] { return currentFrame(); });
    window->setWindowTitle(title);
    window->setGeometry(geometry);
    window->show();
    window_ = window;
    return window;
}

std::optional<DriverDescription> GstCapturePlatform::driverDescription(int index)
{
    if (!validIndex(index))
        return std::nullopt;
    const CaptureSource &source = sources_.at(index);
    return DriverDescription{source.name(), source.version()};
}

Connection GstCapturePlatform::connectDriver(int index)
{
    if (!validIndex(index))
        return Connection::Refused;
    cancelConnect();
    if (gone_.contains(index)) {
        if (index == connected_)
            disconnectDriver();
        return Connection::Refused;
    }
    if (index == connected_ && session_ && session_->delivering(stallLimit))
        return Connection::Connected;
    // Nothing starts before the next turn of the event loop: this request may be the reconnect
    // just before a switch to another driver or before the end, which then starts no pipeline.
    beginConnect(index);
    return Connection::Pending;
}

void GstCapturePlatform::beginConnect(int index)
{
    pending_ = std::make_unique<PendingConnect>(
        index, [this, index] { return startSession(index); }, connectWait);
    connectLooks_.start(0);
}

void GstCapturePlatform::cancelConnect()
{
    connectLooks_.stop();
    pending_.reset();
    sizeBefore_.reset();
}

// The running session goes first: a camera runs in one pipeline at a time.
std::unique_ptr<CaptureSession> GstCapturePlatform::startSession(int index)
{
    session_.reset();
    connected_ = -1;
    const CaptureSource &source = sources_.at(index);
    const SourceSize format = chosenSizes_.value(index, source.preferredSize());
    std::unique_ptr<CaptureSession> session =
        CaptureSession::start(source.makeElement(chosenPatterns_.value(index)), format);
    if (session) {
        session->setFrameListener(frameListener_);
        session->setFrameTap(tap_);
    }
    return session;
}

void GstCapturePlatform::lookAtConnect()
{
    connectLooks_.setInterval(ConnectLookMs);
    const PendingConnect::State state = pending_ ? pending_->look() : PendingConnect::State::Failed;
    if (state == PendingConnect::State::Waiting)
        return;
    connectLooks_.stop();
    if (!pending_)
        return;
    const int index = pending_->index();
    if (state == PendingConnect::State::Connected) {
        session_ = pending_->takeSession();
        connected_ = index;
    }
    pending_.reset();
    const std::optional<SourceSize> before = std::exchange(sizeBefore_, std::nullopt);
    if (state == PendingConnect::State::Failed && before) {
        // The device would not run at the new size: back to the one that worked.
        chosenSizes_.insert(index, *before);
        beginConnect(index);
        return;
    }
    if (connectListener_)
        connectListener_(index, state == PendingConnect::State::Connected);
}

void GstCapturePlatform::disconnectDriver()
{
    cancelConnect();
    session_.reset();
    connected_ = -1;
}

bool GstCapturePlatform::setPreview(bool on)
{
    if (window_)
        window_->setPreview(on);
    return session_ != nullptr || pending_ != nullptr;
}

void GstCapturePlatform::setPreviewRate(int milliseconds)
{
    if (window_)
        window_->setPreviewRate(milliseconds);
}

std::optional<CaptureImageSize> GstCapturePlatform::status()
{
    if (!session_ || session_->size().isEmpty())
        return std::nullopt;
    return CaptureImageSize{session_->size().width(), session_->size().height()};
}

void GstCapturePlatform::showFormatDialog(QWidget *owner)
{
    if (!session_)
        return;
    // The dialog runs a nested loop in which cameras come and go and the list of sources
    // changes: nothing of it is held across, the driver is looked up again afterwards.
    const int index = connected_;
    QList<QSize> sizes;
    for (const SourceSize &each : sources_.at(index).sizes())
        sizes.append(each.size);
    FormatChooser chooser(owner, sizes, session_->size());
    if (chooser.exec() != QDialog::Accepted || index != connected_ || !session_ || gone_.contains(index) ||
        chooser.chosenSize() == session_->size())
        return;
    const SourceSize before = chosenSizes_.value(index, sources_.at(index).preferredSize());
    if (!chooseSize(index, chooser.chosenSize()))
        return;
    beginConnect(index);
    sizeBefore_ = before;
}

bool GstCapturePlatform::chooseSize(int index, QSize size)
{
    if (!validIndex(index))
        return false;
    for (const SourceSize &each : sources_.at(index).sizes()) {
        if (each.size == size) {
            chosenSizes_.insert(index, each);
            return true;
        }
    }
    return false;
}

void GstCapturePlatform::showSourceDialog(QWidget *owner)
{
    if (!session_)
        return;
    const int index = connected_;
    SourceChooser chooser(owner, session_->source());
    chooser.exec();
    if (!chooser.chosenPattern().isEmpty())
        chosenPatterns_.insert(index, chooser.chosenPattern());
}

CapturedFrame GstCapturePlatform::currentFrame()
{
    if (pending_)
        return {CapturedFrame::State::Connecting, {}, 0};
    return session_ ? session_->newestFrame() : CapturedFrame{};
}

QString GstCapturePlatform::frameSource()
{
    const int index = pending_ ? pending_->index() : connected_;
    if (!validIndex(index))
        return QStringLiteral("a frame: no capture driver is connected");
    return QStringLiteral("a frame from ") + sources_.at(index).origin();
}

void GstCapturePlatform::setFrameListener(std::function<void()> listener)
{
    frameListener_ = std::move(listener);
    if (session_)
        session_->setFrameListener(frameListener_);
}

void GstCapturePlatform::setDriverListener(std::function<void(const DriverChange &)> listener)
{
    driverListener_ = std::move(listener);
}

void GstCapturePlatform::setConnectListener(std::function<void(int, bool)> listener)
{
    connectListener_ = std::move(listener);
}

void GstCapturePlatform::followCameras(std::unique_ptr<CameraWatch> watch)
{
    watch_ = std::move(watch);
    watch_->setListener([this](GstDevice *device, bool added) { cameraChanged(device, added); });
}

void GstCapturePlatform::cameraChanged(GstDevice *device, bool added)
{
    const int known = indexOfCamera(device);
    if (!added) {
        if (known >= 0) {
            gone_.insert(known);
            tellDriverChange(known, false);
        }
        return;
    }
    // The watch also reports the cameras that were there from the start.
    if (known >= 0)
        return;
    CaptureSource camera = CaptureSource::camera(device);
    int index = indexOfGoneCamera(camera);
    if (index < 0) {
        index = static_cast<int>(sources_.size());
        camera.setName(NameApartFrom(sources_, camera.name()));
        sources_.append(std::move(camera));
    } else {
        camera.setName(sources_.at(index).name());
        sources_[index] = std::move(camera);
        gone_.remove(index);
        if (!chooseSize(index, chosenSizes_.value(index).size))
            chosenSizes_.remove(index);
    }
    tellDriverChange(index, true);
}

int GstCapturePlatform::indexOfCamera(GstDevice *device) const
{
    for (int index = 0; index < sources_.size(); ++index) {
        if (sources_.at(index).device() == device && !gone_.contains(index))
            return index;
    }
    return -1;
}

int GstCapturePlatform::indexOfGoneCamera(const CaptureSource &camera) const
{
    int found = -1;
    int surest = 0;
    for (int index : gone_) {
        const int sure = camera.sameCameraAs(sources_.at(index));
        if (sure > surest || (sure == surest && sure > 0 && index < found)) {
            found = index;
            surest = sure;
        }
    }
    return found;
}

void GstCapturePlatform::tellDriverChange(int index, bool present)
{
    if (driverListener_)
        driverListener_({index, *driverDescription(index), present});
}

// A connect on its way gets the tap when its session starts.
void GstCapturePlatform::setFrameTap(std::shared_ptr<FrameTap> tap)
{
    tap_ = std::move(tap);
    if (session_)
        session_->setFrameTap(tap_);
}
