#include "capture/JpegImage.h"

#include "capture/JpegEncoder.h"

bool JpegImage::encode(const CapturedFrame &frame)
{
    if (alreadyEncoded(frame))
        return true;
    std::optional<QByteArray> jpeg = EncodeJpeg(frame.image, quality_);
    ++encodeCount_;
    if (!jpeg)
        return false;
    data_ = std::move(*jpeg);
    encodedSerial_ = frame.serial;
    encodedQuality_ = quality_;
    return true;
}

bool JpegImage::alreadyEncoded(const CapturedFrame &frame) const
{
    // Serial 0 marks a frame without a number, which is never taken as the same.
    return frame.serial != 0 && frame.serial == encodedSerial_ && quality_ == encodedQuality_ && !data_.isEmpty();
}
