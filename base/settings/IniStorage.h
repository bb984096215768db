#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What reading a settings file found.
struct IniContent {
    std::optional<QByteArray> bytes; // none when the file does not exist or cannot be read
    QString unreadable;              // why a file that exists could not be read; empty otherwise
};

// Where an INI file's bytes live. The production storage is a file on disk;
// tests use their own to script failures.
class IniStorage {
public:
    virtual ~IniStorage() = default;

    // The whole content, or why there is none.
    virtual IniContent read() = 0;

    // Replaces the whole content. False when the platform refuses the write;
    // the previous content is then left as it was.
    virtual bool write(const QByteArray &content) = 0;

    // The path reported in messages.
    virtual QString path() const = 0;
};

// A file on disk, named by its bytes as the system knows them (a name that is not valid
// text is used byte for byte). Replaced atomically on each write; where its folder takes no
// new file but the file itself is writable, it is overwritten in place, and space for the
// new content is reserved first so a full disk leaves the old content whole. A new file is
// created readable and writable by its owner only (it holds the FTP password); an existing
// file keeps its permissions, and one whose owner-write bit is clear counts as read-only even
// for a privileged user.
class FileIniStorage : public IniStorage {
public:
    explicit FileIniStorage(QByteArray nativePath);

    IniContent read() override;
    bool write(const QByteArray &content) override;
    QString path() const override;

private:
    QByteArray nativePath_;
};
