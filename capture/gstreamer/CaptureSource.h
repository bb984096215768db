#pragma once

#include "gst/GstRefs.h"

#include <QList>
#include <QSize>
#include <QString>

// A picture size a source offers, whether it comes as raw pixels or as JPEG
// (many cameras give their larger sizes only as JPEG, or faster as JPEG), and
// the most frames a second it comes at (0 where the source does not tell).
struct SourceSize {
    QSize size;
    bool jpeg = false;
    double framesPerSecond = 0;
};

// One thing that can be connected as a capture driver: a camera the system
// reports, or the built-in moving test pattern.
class CaptureSource {
public:
    static CaptureSource camera(GstDevice *device);
    static CaptureSource testPattern();

    QString name() const { return name_; }
    // The name with " (2)", " (3)"... added, for a second camera of a kind.
    void setName(const QString &name) { name_ = name; }
    QString version() const { return version_; }
    // Where the picture comes from, for messages about a missing frame.
    QString origin() const { return origin_; }
    bool isTestPattern() const { return !device_; }
    // The system's device; null for the test pattern.
    GstDevice *device() const { return device_.get(); }
    // How sure it is that this is the same camera as the other (0: another camera): the
    // same serial and device path, the same serial, or the same path.
    int sameCameraAs(const CaptureSource &other) const;

    // Sizes offered, smallest first; where a size comes both raw and as JPEG, the faster
    // of the two, raw pixels at the same rate.
    const QList<SourceSize> &sizes() const { return sizes_; }
    SourceSize preferredSize() const;

    // A new, unconnected source element; null when the system refuses one.
    gstref::Element makeElement(const QString &pattern) const;

private:
    std::shared_ptr<GstDevice> device_;
    QString name_;
    QString version_;
    QString origin_;
    QString path_;
    QString serial_;
    QList<SourceSize> sizes_;
};

// The capture sources of this computer in the system's order, the test pattern last.
QList<CaptureSource> ListCaptureSources();

// The name for a source that is listed after the others: its own, or with " (2)", " (3)"... where
// another source has it already.
QString NameApartFrom(const QList<CaptureSource> &listed, const QString &name);

// The given cameras in their order, then the test pattern.
QList<CaptureSource> CaptureSourcesOf(const QList<GstDevice *> &cameras);
