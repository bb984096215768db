#pragma once

#include <QByteArray>

// The last grabbed frame as a complete JPEG file image, and the quality the
// next encoding will use.
class JpegImage {
public:
    int quality() const { return quality_; }
    void setQuality(int quality) { quality_ = quality; }

    const QByteArray &data() const { return data_; }
    bool isEmpty() const { return data_.isEmpty(); }

private:
    int quality_ = 75;
    QByteArray data_;
};
