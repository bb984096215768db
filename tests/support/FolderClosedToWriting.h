#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/fsuid.h>
#include <unistd.h>

// While it lives, this thread may write the file but not create files in its
// folder. A privileged user writes anywhere, so it then acts as another user
// for file access (the file is given to that user).
class FolderClosedToWriting {
public:
    FolderClosedToWriting(const QString &folder, const QString &file) : folder_(folder)
    {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        if (::geteuid() != 0)
            return;
        const QString parent = QFileInfo(folder).path();
        QFile::setPermissions(parent, QFile::permissions(parent) | QFile::ExeOther);
        privileged_ = ::chown(QFile::encodeName(file).constData(), OtherUser, OtherUser) == 0;
        if (privileged_) {
            ::setfsgid(OtherUser);
            ::setfsuid(OtherUser);
        }
    }
    FolderClosedToWriting(const FolderClosedToWriting &) = delete;
    FolderClosedToWriting &operator=(const FolderClosedToWriting &) = delete;
    ~FolderClosedToWriting()
    {
        if (privileged_) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    static constexpr uid_t OtherUser = 65534;
    QString folder_;
    bool privileged_ = false;
};
