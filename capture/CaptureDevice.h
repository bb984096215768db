#pragma once

#include "capture/CapturePlatform.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <memory>

// One entry of the driver list: "name, version" and the driver's index.
struct DriverEntry {
    QString description;
    int index = 0;
};

// The program's single capture object: a capture window inside the preview
// window, the list of capture drivers, and the connected driver's preview.
// Every platform request is made only while the capture window is alive;
// otherwise it is skipped and counts as a failure.
class CaptureDevice {
public:
    CaptureDevice(QWidget *parentWindow, std::unique_ptr<CapturePlatform> platform);
    ~CaptureDevice();
    CaptureDevice(const CaptureDevice &) = delete;
    CaptureDevice &operator=(const CaptureDevice &) = delete;

    void EnumerateDrivers();
    void SelectDriver(int index);
    void FitWindows(bool resizeParent);
    void ShowFormatDialog();
    void ShowSourceDialog();
    bool StartPreview();
    bool SetOverlay(bool on);

    // The current frame, in memory; Missing while there is no capture window.
    CapturedFrame SaveFrameToMemory();
    // What a grab that found no frame names in its report.
    QString FrameSource();
    // Told on the GUI thread when a new frame has arrived.
    void SetFrameListener(std::function<void()> listener);
    // Given every frame as it arrives, on the capture's thread.
    void SetFrameTap(std::shared_ptr<FrameTap> tap);
    // Told on the GUI thread when a camera was plugged in or removed, after the driver list follows:
    // a new camera is listed before the test pattern; a removed one leaves the list unless it is the
    // driver last chosen, which stays until another is chosen.
    void SetCameraListener(std::function<void(const QString &name, bool connected)> listener);

    const QList<DriverEntry> &DriverNames() const { return driverNames_; }
    int CurrentDriver() const { return currentDriver_; }
    // While a chosen driver is on its way; CurrentDriver() names it once its first frame came.
    bool Connecting() const { return connecting_ != -1; }
    QWidget *CaptureWindow() const { return captureWindow_; }

    // Milliseconds between preview frames.
    int PreviewRate = 66;

private:
    bool captureWindowAlive() const { return !captureWindow_.isNull(); }
    void driverChanged(const DriverChange &change);
    void connectEnded(int index, bool connected);
    void finishConnect(int index);
    void frameArrived();
    void dropLostDriversBut(int index);

    QPointer<QWidget> parentWindow_;
    std::unique_ptr<CapturePlatform> platform_;
    QPointer<QWidget> captureWindow_;
    int currentDriver_ = -1;
    int chosenDriver_ = -1;
    int connecting_ = -1; // the driver chosen last, while its connect is on its way
    QList<DriverEntry> driverNames_;
    QSet<int> lostDrivers_; // listed, though their camera is gone
    std::function<void(const QString &, bool)> cameraListener_;
    std::function<void()> frameListener_;
    QSize fitted_; // the image size the windows were last fitted to
};
