#include "recording/FolderFiles.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

namespace folderfiles {

std::vector<File> RegularFiles(const QString &folder)
{
    std::vector<File> files;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir(QFile::encodeName(folder).constData()), closedir);
    if (!dir)
        return files;
    const int dirFd = dirfd(dir.get());
    while (const dirent *entry = readdir(dir.get())) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue; // links, folders and devices say so without a look
        struct stat status {};
        if (fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
            continue;
        files.push_back({QFile::decodeName(entry->d_name), static_cast<qint64>(status.st_size),
                         static_cast<qint64>(status.st_mtim.tv_sec)});
    }
    return files;
}

} // namespace folderfiles
