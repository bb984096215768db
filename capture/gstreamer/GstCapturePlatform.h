#pragma once

#include "capture/CapturePlatform.h"
#include "capture/gstreamer/CameraWatch.h"
#include "capture/gstreamer/CaptureSession.h"
#include "capture/gstreamer/CaptureSource.h"
#include "capture/gstreamer/PendingConnect.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <memory>

class CaptureWindow;

// The capture service on Linux: the cameras GStreamer finds, then the
// built-in test pattern. A connected driver is one running capture session;
// the capture window shows its newest frame while preview is on. Overlay is
// not offered. Given a camera watch, it follows cameras plugged in or removed.
// Connects run beside the GUI thread's work: a session is started, then looked
// at every few milliseconds until its first frame, its failure or the wait's end.
class GstCapturePlatform : public CapturePlatform {
public:
    explicit GstCapturePlatform(QList<CaptureSource> sources);
    ~GstCapturePlatform() override;

    QWidget *createCaptureWindow(QWidget *parent, const QString &title, const QRect &geometry) override;
    std::optional<DriverDescription> driverDescription(int index) override;
    Connection connectDriver(int index) override;
    void disconnectDriver() override;
    bool setPreview(bool on) override;
    void setPreviewRate(int milliseconds) override;
    bool setOverlay(bool) override { return false; }
    std::optional<CaptureImageSize> status() override;
    void showFormatDialog(QWidget *owner) override;
    void showSourceDialog(QWidget *owner) override;
    CapturedFrame currentFrame() override;
    QString frameSource() override;
    void setFrameListener(std::function<void()> listener) override;
    void setDriverListener(std::function<void(const DriverChange &)> listener) override;
    void setConnectListener(std::function<void(int, bool)> listener) override;
    void setFrameTap(std::shared_ptr<FrameTap> tap) override;

    // From now on, cameras the watch reports are added to or taken from the drivers.
    void followCameras(std::unique_ptr<CameraWatch> watch);

    // While a connect is on its way.
    bool connecting() const { return pending_ != nullptr; }

    // Chooses the picture size a driver runs at from its next connect on; false if it does not offer it.
    bool chooseSize(int index, QSize size);

    // The running session, for tests that make the source fail.
    CaptureSession *session() const { return session_.get(); }

    // How long a connect waits for the first frame.
    std::chrono::milliseconds connectWait{5000};
    // A source that sent nothing for this long has stopped, even if it says nothing of it:
    // asked for again, it is connected anew.
    std::chrono::milliseconds stallLimit{3000};

private:
    bool validIndex(int index) const { return index >= 0 && index < sources_.size(); }
    void beginConnect(int index);
    void cancelConnect();
    std::unique_ptr<CaptureSession> startSession(int index);
    void lookAtConnect();
    void cameraChanged(GstDevice *device, bool added);
    int indexOfCamera(GstDevice *device) const;
    int indexOfGoneCamera(const CaptureSource &camera) const;
    void tellDriverChange(int index, bool present);

    QList<CaptureSource> sources_;
    QSet<int> gone_; // cameras removed while running; their indexes stay theirs
    QHash<int, SourceSize> chosenSizes_;
    QHash<int, QString> chosenPatterns_;
    std::unique_ptr<CaptureSession> session_;
    int connected_ = -1;
    std::unique_ptr<PendingConnect> pending_;
    std::optional<SourceSize> sizeBefore_; // where a new size is on its way: the size to go back to
    QTimer connectLooks_;
    QPointer<CaptureWindow> window_;
    std::function<void()> frameListener_;
    std::shared_ptr<FrameTap> tap_;
    std::function<void(const DriverChange &)> driverListener_;
    std::function<void(int, bool)> connectListener_;
    std::unique_ptr<CameraWatch> watch_;
};
