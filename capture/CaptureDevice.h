#pragma once

#include "capture/CapturePlatform.h"

#include <QList>
#include <QPointer>
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

    const QList<DriverEntry> &DriverNames() const { return driverNames_; }
    int CurrentDriver() const { return currentDriver_; }
    QWidget *CaptureWindow() const { return captureWindow_; }

    // Milliseconds between preview frames.
    int PreviewRate = 66;

private:
    bool captureWindowAlive() const { return !captureWindow_.isNull(); }

    QPointer<QWidget> parentWindow_;
    std::unique_ptr<CapturePlatform> platform_;
    QPointer<QWidget> captureWindow_;
    int currentDriver_ = -1;
    QList<DriverEntry> driverNames_;
};
