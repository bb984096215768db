#include "snapshot/SnapshotFile.h"

#include "base/seams/Exception.h"
#include "snapshot/SnapshotName.h"

#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void refuse(const QString &reason) { throw Exception(u"Cannot save snapshot: "_s + reason); }

[[noreturn]] void refuse(const QString &path, const QString &reason) { refuse(path + u": "_s + reason); }

// Whatever lets this process write counts: the owner's, the group's or an ACL's write
// permission, or a privileged user's. Asked as the file-system user the process acts as.
bool writable(const QFileInfo &info)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(info.absoluteFilePath()).constData(), W_OK, AT_EACCESS) == 0;
}

void checkName(const QString &name)
{
    if (name.contains(QChar(u'\0')))
        refuse(u"the file name \"%1\" may not contain a NUL character"_s.arg(name));
}

// A manual name with a "/" names a file in a subfolder, which must exist like the folder.
void checkPlace(const QString &path)
{
    const QFileInfo folderInfo(QFileInfo(path).path());
    if (!folderInfo.exists())
        refuse(path, u"the folder does not exist"_s);
    if (!folderInfo.isDir())
        refuse(path, u"the folder is a file"_s);
    if (!writable(folderInfo))
        refuse(path, u"the folder is read-only"_s);
    const QFileInfo fileInfo(path);
    if (fileInfo.exists() && !fileInfo.isDir() && !writable(fileInfo))
        refuse(path, u"the file is read-only"_s);
}

} // namespace

QString SaveSnapshotFile(const QString &folderText, const QString &name, const QByteArray &jpeg)
{
    if (folderText.isEmpty())
        refuse(u"no folder is set for local snapshots (Snapshot Settings)"_s);
    checkName(name);
    const QString folder = snapshotname::WithFolderSeparator(folderText);
    const QString path = folder + name;
    checkPlace(path);
    if (jpeg.isEmpty())
        refuse(path, u"no picture has been captured yet"_s);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        refuse(path, file.errorString());
    if (file.write(jpeg) != jpeg.size())
        refuse(path, file.errorString());
    if (!file.commit())
        refuse(path, file.errorString());
    return path;
}
