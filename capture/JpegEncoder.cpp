#include "capture/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>

namespace {

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void leaveOnError(j_common_ptr info)
{
    auto *trap = reinterpret_cast<ErrorTrap *>(info->err);
    std::longjmp(trap->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

struct PixelLayout {
    J_COLOR_SPACE space;
    int components;
};

std::optional<PixelLayout> layoutOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        // 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
            return PixelLayout{JCS_EXT_BGRX, 4};
        else
            return PixelLayout{JCS_EXT_XRGB, 4};
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        return PixelLayout{JCS_EXT_RGBX, 4};
    case QImage::Format_RGB888:
        return PixelLayout{JCS_RGB, 3};
    case QImage::Format_BGR888:
        return PixelLayout{JCS_EXT_BGR, 3};
    default:
        return std::nullopt;
    }
}

// Holds only plain data, so that the long jump out of libjpeg skips no
// destructor. Returns false when libjpeg reported an error.
bool compress(const QImage &image, PixelLayout layout, int quality, unsigned char **out, unsigned long *outSize)
{
    jpeg_compress_struct info{};
    ErrorTrap trap{};
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = leaveOnError;
    trap.manager.output_message = ignoreMessage;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = layout.components;
    info.in_color_space = layout.space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg only reads the rows it is given.
        auto *row = const_cast<JSAMPLE *>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::optional<QByteArray> EncodeJpeg(const QImage &image, int quality)
{
    if (image.isNull())
        return std::nullopt;
    std::optional<PixelLayout> layout = layoutOf(image.format());
    const QImage readable = layout ? image : image.convertToFormat(QImage::Format_RGB32);
    if (!layout)
        layout = layoutOf(readable.format());

    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const bool encoded = compress(readable, *layout, std::clamp(quality, 1, 100), &out, &outSize);
    std::optional<QByteArray> jpeg;
    if (encoded)
        jpeg = QByteArray(reinterpret_cast<const char *>(out), static_cast<qsizetype>(outSize));
    std::free(out);
    return jpeg;
}
