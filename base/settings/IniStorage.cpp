#include "base/settings/IniStorage.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The file a write really replaces: renaming over a symlink would swap the
// link for a plain file and leave its target stale.
QString writeTarget(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    if (info.isSymLink())
        return info.symLinkTarget();
    return info.absoluteFilePath();
}

bool writeAll(int fd, const QByteArray &content)
{
    const char *data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Opens a new, empty file beside the target; its name is returned through tempPath.
int createTemp(const QString &target, mode_t mode, QByteArray &tempPath)
{
    const QFileInfo info(target);
    const QString stem = info.absolutePath() + u"/."_s + info.fileName() + u".tmp-"_s;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString suffix = QString::number(QRandomGenerator::global()->generate64(), 36);
        tempPath = QFile::encodeName(stem + suffix);
        const int fd = ::open(tempPath.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd >= 0) {
            // The mode given to open() is filtered by the umask; fchmod is not.
            if (::fchmod(fd, mode) != 0) {
                ::close(fd);
                ::unlink(tempPath.constData());
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST && errno != EINTR)
            return -1;
    }
    return -1;
}

// A folder that takes no new file still lets a writable file in it be
// replaced, though not atomically.
bool writeInPlace(const QByteArray &nativeTarget, const QByteArray &content)
{
    const int fd = ::open(nativeTarget.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = writeAll(fd, content) && ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

void syncFolder(const QString &target)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

FileIniStorage::FileIniStorage(QString path) : path_(std::move(path)) {}

std::optional<QByteArray> FileIniStorage::read()
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return content;
}

bool FileIniStorage::write(const QByteArray &content)
{
    const QString target = writeTarget(path_);
    const QByteArray nativeTarget = QFile::encodeName(target);

    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat existing = {};
    const bool exists = ::stat(nativeTarget.constData(), &existing) == 0;
    if (exists) {
        // Checked by hand because root passes every access() test, and a
        // read-only settings file must stay unchanged for root too.
        if (!(QFileInfo(target).permissions() & QFileDevice::WriteOwner))
            return false;
        if (::access(nativeTarget.constData(), W_OK) != 0)
            return false;
        mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    QByteArray tempPath;
    const int fd = createTemp(target, mode, tempPath);
    if (fd < 0)
        return exists && errno == EACCES && writeInPlace(nativeTarget, content);

    bool ok = writeAll(fd, content) && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempPath.constData(), nativeTarget.constData()) == 0;
    if (!ok) {
        ::unlink(tempPath.constData());
        return false;
    }
    syncFolder(target);
    return true;
}
