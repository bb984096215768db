#pragma once

#include "base/settings/IniStorage.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// An INI file with the rules of the classic private-profile functions:
// - section and key names compare without regard to case; the first section
//   and the first key of a name win when a file repeats them;
// - values are read trimmed of blanks around "=", and one pair of matching
//   quotes around a value is removed;
// - integers are decimal, or hexadecimal when the text has more than two
//   characters and starts with "0x"/"0X"; anything else yields the default;
// - booleans are integers, true when not 0; written as "1" or "0";
// - strings are read up to 2047 characters;
// - a write replaces the value of an existing key in place, appends a new key
//   at the end of its section and a new section at the end of the file; lines
//   the program does not know are kept byte for byte;
// - with immediate writes each write goes to storage at once; with deferred
//   writes they change only the object until Save() stores the whole content
//   in one write. A refused write throws Exception("Unable to write to <path>");
//   the object then still holds what storage holds (deferred: what it would);
// - a file that exists but could not be read reads as defaults and is never
//   written over (every write is refused).
// The content is read from storage once, when the object is made.
class IniFile {
public:
    enum class Writes { Immediate, Deferred };

    explicit IniFile(std::unique_ptr<IniStorage> storage, Writes writes = Writes::Immediate);
    explicit IniFile(const QString &path);
    ~IniFile();

    // Why the file could not be read although it exists; empty when it was read or is missing.
    QString Unreadable() const { return unreadable_; }
    QString Path() const { return storage_->path(); }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
    // Removes the key's line (the first of that name), as writes are stored; nothing when absent.
    void DeleteKey(const QString &section, const QString &key);

    // Stores deferred writes, when there are any, in one write.
    void Save();

    static constexpr int MaxStringLength = 2047;

private:
    struct Line;
    struct Location;
    static Line parse(const QByteArray &raw);
    Location locate(const QString &section, const QString &key) const;
    std::optional<QString> value(const QString &section, const QString &key) const;
    void store(const QList<QByteArray> &lines);

    std::unique_ptr<IniStorage> storage_;
    Writes writes_;
    QString unreadable_;
    bool changed_ = false;
    QList<QByteArray> lines_;
    QByteArray lineEnd_ = "\n";
};
