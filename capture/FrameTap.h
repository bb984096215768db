#pragma once

#include <QtGlobal>

typedef struct _GstSample GstSample;

// Receives every captured frame as it arrives, on the capture's own thread, before the program
// sees it. It must return at once: the next frame waits behind it.
class FrameTap {
public:
    virtual ~FrameTap() = default;
    // The sample holds BGRx pixels; captureMicros is the wall-clock time of its arrival,
    // in microseconds since 1970. The tap takes its own reference if it keeps the sample.
    virtual void offer(GstSample *sample, qint64 captureMicros) = 0;
};
