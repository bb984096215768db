#pragma once

#include "capture/gstreamer/GstRefs.h"

#include <QList>
#include <QSize>
#include <QString>

// A picture size a source offers, and whether it comes as raw pixels or as
// JPEG (many cameras give their larger sizes only as JPEG).
struct SourceSize {
    QSize size;
    bool jpeg = false;
};

// One thing that can be connected as a capture driver: a camera the system
// reports, or the built-in moving test pattern.
class CaptureSource {
public:
    static CaptureSource camera(GstDevice *device);
    static CaptureSource testPattern();

    QString name() const { return name_; }
    QString version() const { return version_; }
    // Where the picture comes from, for messages about a missing frame.
    QString origin() const { return origin_; }
    bool isTestPattern() const { return !device_; }
    // The system's device; null for the test pattern.
    GstDevice *device() const { return device_.get(); }

    // Sizes offered, smallest first; raw pixels preferred where both exist.
    const QList<SourceSize> &sizes() const { return sizes_; }
    SourceSize preferredSize() const;

    // A new, unconnected source element; null when the system refuses one.
    gstref::Element makeElement(const QString &pattern) const;

private:
    std::shared_ptr<GstDevice> device_;
    QString name_;
    QString version_;
    QString origin_;
    QList<SourceSize> sizes_;
};

// The capture sources of this computer in the system's order, the test pattern last.
QList<CaptureSource> ListCaptureSources();

// The given cameras in their order, then the test pattern.
QList<CaptureSource> CaptureSourcesOf(const QList<GstDevice *> &cameras);
