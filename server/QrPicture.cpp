#include "server/QrPicture.h"

#include <qrencode.h>

#include <memory>

namespace {

constexpr int QuietModules = 4;

struct FreeCode {
    void operator()(QRcode *code) const { QRcode_free(code); }
};

} // namespace

QImage QrPicture(const QString &text, int moduleSize)
{
    const std::unique_ptr<QRcode, FreeCode> code(
        QRcode_encodeString(text.toUtf8().constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1));
    if (!code || moduleSize < 1)
        return {};
    const int modules = code->width + 2 * QuietModules;
    QImage picture(modules * moduleSize, modules * moduleSize, QImage::Format_Grayscale8);
    picture.fill(255);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1) == 0)
                continue;
            for (int row = 0; row < moduleSize; ++row) {
                uchar *line = picture.scanLine((y + QuietModules) * moduleSize + row);
                std::fill_n(line + (x + QuietModules) * moduleSize, moduleSize, uchar(0));
            }
        }
    }
    return picture;
}
