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
// - each write goes to storage at once; a refused write throws
//   Exception("Unable to write to <path>") and leaves earlier writes in place.
// The content is read from storage once, when the object is made.
class IniFile {
public:
    explicit IniFile(std::unique_ptr<IniStorage> storage);
    explicit IniFile(const QString &path);
    ~IniFile();

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    static constexpr int MaxStringLength = 2047;

private:
    struct Line;
    struct Location;
    static Line parse(const QByteArray &raw);
    Location locate(const QString &section, const QString &key) const;
    std::optional<QString> value(const QString &section, const QString &key) const;

    std::unique_ptr<IniStorage> storage_;
    QList<QByteArray> lines_;
    QByteArray lineEnd_ = "\n";
};
