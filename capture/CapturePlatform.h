#pragma once

#include "capture/CapturedFrame.h"
#include "capture/FrameTap.h"

#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

struct DriverDescription {
    QString name;
    QString version;
};

// A driver that came or went while the program runs: its index, its texts, and whether it is there now.
struct DriverChange {
    int index = 0;
    DriverDescription driver;
    bool present = true;
};

// What a connect request answers: connected now, refused, or on its way. A connect on its way
// ends later, on the GUI thread, with a call of the connect listener.
enum class Connection { Refused, Connected, Pending };

struct CaptureImageSize {
    int width = 0;
    int height = 0;
};

// The capture service the capture device talks to: the requests the program
// relies on, each answered the way the device expects (0/false for failure).
// All calls come from the GUI thread.
class CapturePlatform {
public:
    virtual ~CapturePlatform() = default;

    // The window the live picture is drawn into, as a child of parent; null on failure.
    virtual QWidget *createCaptureWindow(QWidget *parent, const QString &title, const QRect &geometry) = 0;

    // Name and version of driver index; nothing for the first index without a driver.
    virtual std::optional<DriverDescription> driverDescription(int index) = 0;

    // A connect never holds the GUI thread: a source that takes its time answers Pending. A later
    // connect or disconnect request replaces one on its way, which then ends untold.
    virtual Connection connectDriver(int index) = 0;
    virtual void disconnectDriver() = 0;

    virtual bool setPreview(bool on) = 0;
    virtual void setPreviewRate(int milliseconds) = 0;

    // False when the driver cannot overlay or nothing is connected.
    virtual bool setOverlay(bool on) = 0;

    // Width and height of the current format; nothing while no driver is connected.
    virtual std::optional<CaptureImageSize> status() = 0;

    // Modal choosers; the program does not look at their outcome.
    virtual void showFormatDialog(QWidget *owner) = 0;
    virtual void showSourceDialog(QWidget *owner) = 0;

    // The newest frame, handed over in memory; Missing when there is none.
    virtual CapturedFrame currentFrame() = 0;

    // Names what was asked for the frame, for the report of a missing one.
    virtual QString frameSource() = 0;

    // Called on the GUI thread soon after a new frame has arrived (several arrivals between
    // two calls make one call). A platform that cannot tell never calls it.
    virtual void setFrameListener(std::function<void()> listener) { (void)listener; }

    // Given every frame of every source from now on, on the capture's thread (the live encoder).
    virtual void setFrameTap(std::shared_ptr<FrameTap> tap) { (void)tap; }

    // Called on the GUI thread when a connect that answered Pending has ended.
    virtual void setConnectListener(std::function<void(int index, bool connected)> listener) { (void)listener; }

    // Called on the GUI thread when a camera is plugged in or removed. A removed driver keeps
    // its index, and a camera that comes back (the same device path or serial) takes that index and
    // name again; a new one gets an index no driver had. A platform that cannot tell never calls it.
    virtual void setDriverListener(std::function<void(const DriverChange &)> listener) { (void)listener; }
};
