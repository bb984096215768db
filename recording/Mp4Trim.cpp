#include "recording/Mp4Trim.h"

#include <QFile>
#include <QtEndian>

namespace mp4trim {

qint64 TrimToWholeFragments(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return -1;
    const qint64 size = file.size();
    qint64 at = 0;
    qint64 whole = 0;         // the end of the last whole box
    qint64 lastFragment = -1; // where a "moof" still waiting for its "mdat" begins
    while (at + 8 <= size) {
        uchar head[16];
        if (!file.seek(at) || file.read(reinterpret_cast<char *>(head), 16) < 8)
            break;
        quint64 length = qFromBigEndian<quint32>(head);
        const QByteArray type(reinterpret_cast<const char *>(head + 4), 4);
        if (length == 1) {
            if (at + 16 > size)
                break;
            length = qFromBigEndian<quint64>(head + 8);
        } else if (length == 0) {
            length = static_cast<quint64>(size - at); // to the end: whole by definition
        }
        if (length < 8 || length > static_cast<quint64>(size - at))
            break;
        at += static_cast<qint64>(length);
        if (type == "moof") {
            lastFragment = at - static_cast<qint64>(length);
            continue;
        }
        if (type == "mdat")
            lastFragment = -1;
        whole = at;
    }
    const qint64 keep = lastFragment >= 0 ? std::min(whole, lastFragment) : whole;
    // Only an MP4 of ours is cut: one that does not begin with its file type is left as it is.
    if (!file.seek(4) || file.read(4) != "ftyp")
        return 0;
    if (keep == size)
        return 0;
    return file.resize(keep) ? size - keep : -1;
}

} // namespace mp4trim
