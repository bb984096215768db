#pragma once

#include "capture/gstreamer/GstRefs.h"

#include <QObject>
#include <vector>

#include <functional>
#include <memory>

// Follows the cameras the system reports while the program runs: a started
// device monitor whose "added" and "removed" messages are handed to the GUI
// thread. Messages about a camera already known are passed on too; the
// listener tells them apart.
class CameraWatch {
public:
    using Listener = std::function<void(GstDevice *device, bool added)>;

    // A running watch, or null when no provider of this system can follow cameras.
    static std::unique_ptr<CameraWatch> start();
    ~CameraWatch();
    CameraWatch(const CameraWatch &) = delete;
    CameraWatch &operator=(const CameraWatch &) = delete;

    // The cameras there now, in the system's order (each with a reference for the caller).
    std::vector<gstref::Device> cameras() const;

    // Called on the GUI thread for each camera plugged in or removed from now on.
    void setListener(Listener listener) { listener_ = std::move(listener); }

private:
    explicit CameraWatch(GstDeviceMonitor *monitor);
    static GstBusSyncReply onMessage(GstBus *bus, GstMessage *message, gpointer self);
    void deliver(gstref::Device device, bool added);

    std::unique_ptr<GstDeviceMonitor, gstref::ObjectUnref> monitor_;
    gstref::Bus bus_;
    std::unique_ptr<QObject> guiThread_; // queued deliveries are dropped with it
    Listener listener_;
};
