// The settings file reader on any file content: every key the program reads gives an answer,
// and a value written is read back unchanged, now and after the file is read again, while
// the other keys keep theirs.
#include "base/settings/IniFile.h"
#include "tests/fuzz/FuzzCheck.h"

#include <array>
#include <cstdint>

namespace {

class MemoryStorage : public IniStorage {
public:
    explicit MemoryStorage(QByteArray &content) : content_(content) {}
    IniContent read() override { return {content_, {}}; }
    bool write(const QByteArray &content) override
    {
        content_ = content;
        return true;
    }
    QString path() const override { return QStringLiteral("fuzz.ini"); }

private:
    QByteArray &content_;
};

struct Name {
    QString section;
    QString key;
};

const std::array<Name, 6> Names{{
    {QStringLiteral("FormMain"), QStringLiteral("Port")},
    {QStringLiteral("FormMain"), QStringLiteral("Enabled")},
    {QStringLiteral("formmain"), QStringLiteral("TOP")},
    {QStringLiteral("FormPublish"), QStringLiteral("Description")},
    {QStringLiteral("FormSnapshotSettings"), QStringLiteral("FTPPassword")},
    {QStringLiteral("FormChart"), QStringLiteral("ChartUpdate")},
}};

QString Missing() { return QStringLiteral("\x01missing"); }

std::array<QString, Names.size()> readAll(const IniFile &ini)
{
    std::array<QString, Names.size()> values;
    for (std::size_t i = 0; i < Names.size(); ++i) {
        values[i] = ini.ReadString(Names[i].section, Names[i].key, Missing());
        FUZZ_REQUIRE(values[i].size() <= IniFile::MaxStringLength);
        ini.ReadInteger(Names[i].section, Names[i].key, -1);
    }
    return values;
}

// One key's value replaced; the others as they were.
void requireChanged(const IniFile &ini, const std::array<QString, Names.size()> &before, std::size_t which,
                    const QString &value)
{
    const std::array<QString, Names.size()> after = readAll(ini);
    for (std::size_t i = 0; i < Names.size(); ++i) {
        const bool sameKey = Names[i].section.compare(Names[which].section, Qt::CaseInsensitive) == 0 &&
                             Names[i].key.compare(Names[which].key, Qt::CaseInsensitive) == 0;
        FUZZ_REQUIRE(after[i] == (sameKey ? value : before[i]));
    }
}

} // namespace

// The input is the file content, then the value to write; its first byte says how long
// that value is and which key gets it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t which = data[0] % Names.size();
    const std::size_t valueSize = std::min<std::size_t>(data[0] / Names.size(), size - 1);
    const auto *bytes = reinterpret_cast<const char *>(data + 1);
    QByteArray content(bytes, static_cast<qsizetype>(size - 1 - valueSize));
    QString value = QString::fromUtf8(bytes + content.size(), static_cast<qsizetype>(valueSize));

    IniFile ini(std::make_unique<MemoryStorage>(content));
    const std::array<QString, Names.size()> before = readAll(ini);

    ini.WriteString(Names[which].section, Names[which].key, value);
    // Line breaks inside a value become spaces.
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    value.truncate(IniFile::MaxStringLength);
    requireChanged(ini, before, which, value);
    requireChanged(IniFile(std::make_unique<MemoryStorage>(content)), before, which, value);

    const int number = static_cast<int>(qHash(value));
    ini.WriteInteger(Names[which].section, Names[which].key, number);
    FUZZ_REQUIRE(ini.ReadInteger(Names[which].section, Names[which].key, ~number) == number);
    return 0;
}
