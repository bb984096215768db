#pragma once

#include "capture/CapturedFrame.h"

#include <QByteArray>

// The last grabbed frame as a complete JPEG file image, and the quality the
// next encoding will use. Encoding the same frame at the same quality again
// would give the same bytes, so those are kept instead.
class JpegImage {
public:
    int quality() const { return quality_; }
    void setQuality(int quality) { quality_ = quality; }

    const QByteArray &data() const { return data_; }
    bool isEmpty() const { return data_.isEmpty(); }

    // Encodes the frame at the current quality. On failure the previous bytes stay.
    bool encode(const CapturedFrame &frame);
    // Encodings made since the start, kept bytes not counted.
    quint64 encodeCount() const { return encodeCount_; }

private:
    bool alreadyEncoded(const CapturedFrame &frame) const;

    int quality_ = 75;
    QByteArray data_;
    quint64 encodedSerial_ = 0;
    int encodedQuality_ = -1;
    quint64 encodeCount_ = 0;
};
