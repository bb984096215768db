#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where an INI file's bytes live. The production storage is a file on disk;
// tests use their own to script failures.
class IniStorage {
public:
    virtual ~IniStorage() = default;

    // The whole content, or nothing when the file does not exist or cannot be read.
    virtual std::optional<QByteArray> read() = 0;

    // Replaces the whole content. False when the platform refuses the write;
    // the previous content is then left as it was.
    virtual bool write(const QByteArray &content) = 0;

    // The path reported in error messages.
    virtual QString path() const = 0;
};

// A file on disk, replaced atomically on each write (in place when its folder
// takes no new file but the file itself is writable). A new file is created
// readable and writable by its owner only (it holds the FTP password); an
// existing file keeps its permissions, and one whose owner-write bit is clear
// counts as read-only even for a privileged user.
class FileIniStorage : public IniStorage {
public:
    explicit FileIniStorage(QString path);

    std::optional<QByteArray> read() override;
    bool write(const QByteArray &content) override;
    QString path() const override { return path_; }

private:
    QString path_;
};
