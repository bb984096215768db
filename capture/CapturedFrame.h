#pragma once

#include <QImage>
#include <QString>

// The newest frame of the capture source, handed over in memory. The image
// usually shares the source's own buffer: copying it is cheap until someone
// writes to it, which nobody in the program does.
struct CapturedFrame {
    enum class State {
        Missing,    // the source gave nothing: not connected, stopped, or failed
        Connecting, // a source is being connected: its first frame is on its way
        Damaged,    // a buffer came but its pixels could not be read
        Ready,
    };

    State state = State::Missing;
    QImage image;
    // Numbers frames over the whole run, across sources and format changes:
    // the same number means the same pixels.
    quint64 serial = 0;
    // When it arrived from the source: microseconds since 1970, 0 when unknown.
    qint64 captureMicros = 0;

    bool ready() const { return state == State::Ready && !image.isNull(); }
};
