#pragma once

#include "gst/DeviceWatch.h"

#include <QString>

// The microphones the system offers ("Audio/Source" devices), without the monitors of
// speakers that sound servers list beside them, followed while the program runs.
class Microphones {
public:
    using Listener = std::function<void(const QString &name, bool added)>;

    // A running watch, or null when no provider of this system can list sound sources.
    static std::unique_ptr<Microphones> start();

    // The microphones there now, in the system's order.
    std::vector<gstref::Device> list() const;
    QStringList names() const;
    // The microphone of that name, or null when none is there.
    gstref::Device find(const QString &name) const;

    // Called on the GUI thread for each microphone plugged in or removed from now on.
    void setListener(Listener listener);

    static QString NameOf(GstDevice *device);
    // A speaker's monitor records what the computer plays, not what a microphone hears.
    static bool IsSpeakerMonitor(GstDevice *device);

private:
    Microphones() = default;
    DeviceWatch watch_{"Audio/Source"};
};
