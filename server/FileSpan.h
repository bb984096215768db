#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>

#include <memory>

// An answer's head, then a span of a file read piece by piece as the connection takes it,
// so that a large recording is never held in memory. Ends early, short of what the head
// promised, if the file does (the client then sees the connection close).
class FileSpan : public QIODevice {
public:
    // Null when the file cannot be opened.
    static std::unique_ptr<FileSpan> Open(const QByteArray &head, const QString &path, qint64 first, qint64 length);

    bool isSequential() const override { return true; }
    bool atEnd() const override { return head_.isEmpty() && left_ <= 0; }
    qint64 bytesAvailable() const override { return head_.size() + left_ + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 most) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    FileSpan() = default;
    QByteArray head_;
    QFile file_;
    qint64 left_ = 0;
};
