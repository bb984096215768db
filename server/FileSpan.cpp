#include "server/FileSpan.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<FileSpan> FileSpan::Open(const QByteArray &head, const QString &path, qint64 first, qint64 length)
{
    std::unique_ptr<FileSpan> span(new FileSpan);
    span->file_.setFileName(path);
    if (!span->file_.open(QIODevice::ReadOnly) || (length > 0 && !span->file_.seek(first)))
        return nullptr;
    span->head_ = head;
    span->left_ = std::max<qint64>(0, length);
    span->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return span;
}

qint64 FileSpan::readData(char *data, qint64 most)
{
    qint64 given = 0;
    if (!head_.isEmpty()) {
        given = std::min<qint64>(most, head_.size());
        std::memcpy(data, head_.constData(), static_cast<size_t>(given));
        head_.remove(0, given);
    }
    if (given < most && left_ > 0) {
        const qint64 read = file_.read(data + given, std::min(most - given, left_));
        if (read <= 0)
            left_ = 0; // the file ended before its span: nothing more to send
        else {
            left_ -= read;
            given += read;
        }
    }
    return given;
}
