#include "base/settings/IniStorage.h"

#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

namespace fs = std::filesystem;

QByteArray bytesOf(const fs::path &path) { return QByteArray::fromStdString(path.native()); }

// The file a write really replaces: renaming over a symlink would swap the
// link for a plain file and leave its target stale.
QByteArray writeTarget(const QByteArray &nativePath)
{
    const fs::path path(nativePath.toStdString());
    std::error_code error;
    if (fs::exists(path, error))
        return bytesOf(fs::canonical(path, error));
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        const fs::path target = fs::read_symlink(path, error);
        return bytesOf(target.is_absolute() ? target : fs::absolute(path, error).parent_path() / target);
    }
    return bytesOf(fs::absolute(path, error));
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
int createTemp(const QByteArray &target, mode_t mode, QByteArray &tempPath)
{
    const fs::path path(target.toStdString());
    const QByteArray stem = bytesOf(path.parent_path()) + "/." + bytesOf(path.filename()) + ".tmp-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
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
// replaced, though not atomically. The space comes first, so a full disk or a
// size limit refuses before any of the old content is overwritten.
bool writeInPlace(const QByteArray &nativeTarget, const QByteArray &content)
{
    const int fd = ::open(nativeTarget.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat existing = {};
    if (::fstat(fd, &existing) == 0)
        ::fchmod(fd, existing.st_mode & S_IRWXU);
    // A file system that cannot reserve space takes the write as it comes.
    bool ok =
        content.isEmpty() || ::fallocate(fd, 0, 0, static_cast<off_t>(content.size())) == 0 || errno == EOPNOTSUPP;
    ok = ok && writeAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0;
    ok = ok && ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

void syncFolder(const QByteArray &target)
{
    const QByteArray folder = bytesOf(fs::path(target.toStdString()).parent_path());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

FileIniStorage::FileIniStorage(QByteArray nativePath) : nativePath_(std::move(nativePath)) {}

QString FileIniStorage::path() const { return QFile::decodeName(nativePath_); }

IniContent FileIniStorage::read()
{
    const auto unreadable = [](int error) {
        return IniContent{std::nullopt, QString::fromLocal8Bit(::strerror(error))};
    };
    const int fd = ::open(nativePath_.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? IniContent{} : unreadable(errno);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return unreadable(errno);
    if (S_ISDIR(info.st_mode))
        return unreadable(EISDIR);
    QByteArray content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return IniContent{content, {}};
        if (got < 0 && errno != EINTR)
            return unreadable(errno);
        if (got > 0)
            content.append(buffer, got);
    }
}

bool FileIniStorage::write(const QByteArray &content)
{
    const QByteArray nativeTarget = writeTarget(nativePath_);

    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat existing = {};
    const bool exists = ::stat(nativeTarget.constData(), &existing) == 0;
    if (exists) {
        // Checked by hand because root passes every access() test, and a
        // read-only settings file must stay unchanged for root too.
        if (!(existing.st_mode & S_IWUSR))
            return false;
        if (::access(nativeTarget.constData(), W_OK) != 0)
            return false;
        // It holds passwords and keys: only its owner may read it once it is written.
        mode = existing.st_mode & S_IRWXU;
    } else if (errno != ENOENT) {
        return false;
    }

    QByteArray tempPath;
    const int fd = createTemp(nativeTarget, mode, tempPath);
    if (fd < 0)
        return exists && errno == EACCES && writeInPlace(nativeTarget, content);

    bool ok = writeAll(fd, content) && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempPath.constData(), nativeTarget.constData()) == 0;
    if (!ok) {
        ::unlink(tempPath.constData());
        return false;
    }
    syncFolder(nativeTarget);
    return true;
}
