#pragma once

#include "gst/GstRefs.h"
#include "gst/GuiPost.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// Follows the devices of one class ("Video/Source", "Audio/Source") that the system reports
// while the program runs: a started device monitor whose "added" and "removed" messages are
// handed to the GUI thread. Messages about a device already known are passed on too; the
// listener tells them apart.
class DeviceWatch {
public:
    using Listener = std::function<void(GstDevice *device, bool added)>;

    explicit DeviceWatch(const char *deviceClass);
    virtual ~DeviceWatch();
    DeviceWatch(const DeviceWatch &) = delete;
    DeviceWatch &operator=(const DeviceWatch &) = delete;

    // Starts following; false when no provider of this system can follow such devices.
    bool follow();

    // The devices there now, in the system's order (each with a reference for the caller).
    std::vector<gstref::Device> devices() const;

    // Called on the GUI thread for each device plugged in or removed from now on.
    void setListener(Listener listener) { listener_ = std::move(listener); }

private:
    static GstBusSyncReply onMessage(GstBus *bus, GstMessage *message, gpointer self);
    void deliver(gstref::Device device, bool added);

    std::unique_ptr<GstDeviceMonitor, gstref::ObjectUnref> monitor_;
    gstref::Bus bus_;
    QObject guiThread_; // queued deliveries are dropped with it
    GuiPost post_{&guiThread_};
    Listener listener_;
};
