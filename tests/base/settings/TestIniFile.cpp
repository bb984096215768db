#include "base/seams/Exception.h"
#include "base/settings/IniFile.h"
#include "base/settings/SettingsPath.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderClosedToWriting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <memory>
#include <optional>
#include <stdexcept>

#include <QScopeGuard>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool putFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs a write and returns the message of the Exception it throws, if any.
template <typename Write> std::optional<QString> refusal(Write write)
{
    try {
        write();
    } catch (const Exception &e) {
        return e.message();
    }
    return std::nullopt;
}

// Storage in memory whose writes fail from a chosen write on, to check what an
// IniFile keeps after a refused write.
struct ScriptedState {
    std::optional<QByteArray> content;
    int writes = 0;
    int failingWrite = 0; // 1-based; 0 never fails
};

class ScriptedStorage : public IniStorage {
public:
    explicit ScriptedStorage(std::shared_ptr<ScriptedState> state) : state_(std::move(state)) {}

    IniContent read() override { return {state_->content, {}}; }
    bool write(const QByteArray &content) override
    {
        if (++state_->writes == state_->failingWrite)
            return false;
        state_->content = content;
        return true;
    }
    QString path() const override { return u"scripted.ini"_s; }

private:
    std::shared_ptr<ScriptedState> state_;
};

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void init();

    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void readString_data();
    void readString();
    void missingFileReadsDefaults();
    void commentLinesAreNotKeys();
    void namesIgnoreCase();
    void firstDuplicateWins();
    void crlfFileKeepsUnknownLines();
    void lfFileKeepsUnknownLines();
    void newKeyGoesAfterLastLineOfSection();
    void fileWithoutFinalLineEnd();
    void newFileKeepsWriteOrder();
    void hugeLineAndBinaryGarbage();
    void stringsAreCapped();
    void writtenValuesReadBack_data();
    void writtenValuesReadBack();
    void lineBreaksInValuesBecomeBlanks();
    void integersAndBoolsWritten();
    void newFileIsOwnerOnly_data();
    void newFileIsOwnerOnly();
    void existingModeKeepsOnlyTheOwners_data();
    void existingModeKeepsOnlyTheOwners();
    void readOnlyFileRefusesWrite_data();
    void readOnlyFileRefusesWrite();
    void missingFolderRefusesWrite();
    void closedFolderStillTakesItsWritableFile();
    void refusedWriteInPlaceKeepsTheOldContent();
    void deferredWritesStoreOnce();
    void folderInPlaceOfFileRefusesWrite();
    void refusedWriteLeavesObjectAsStored();
    void refusedReplaceKeepsOldValue();
    void writesThroughSymlink();
    void noTempFilesLeft();
    void settingsFileName_data();
    void settingsFileName();
    void settingsFileBesideWritableExecutable();

private:
    QString path(const QString &name = u"settings.ini"_s) const { return dir_->filePath(name); }
    // An IniFile on a file in the temporary folder with the given content; a file that cannot be
    // put there fails the test through the exception.
    std::unique_ptr<IniFile> iniWith(const QByteArray &content)
    {
        return putFile(path(), content) ? std::make_unique<IniFile>(path())
                                        : throw std::runtime_error("cannot write settings.ini");
    }
    // A settings file with the given content in its own folder "closed".
    QString fileInFolder(const QByteArray &content) const
    {
        const QString file = dir_->filePath(u"closed/settings.ini"_s);
        return QDir().mkdir(dir_->filePath(u"closed"_s)) && putFile(file, content)
                   ? file
                   : throw std::runtime_error("cannot write closed/settings.ini");
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestIniFile::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestIniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");

    const int fallback = 77;
    QTest::newRow("decimal") << "Port=8080"_ba << 8080;
    QTest::newRow("negative") << "Port=-5"_ba << -5;
    QTest::newRow("plus sign") << "Port=+5"_ba << 5;
    QTest::newRow("leading zeros") << "Port=0010"_ba << 10;
    QTest::newRow("blanks around =") << "Port = 7 "_ba << 7;
    QTest::newRow("tabs around =") << "\tPort\t=\t7\t"_ba << 7;
    QTest::newRow("quoted") << "Port=\"42\""_ba << 42;
    QTest::newRow("quoted with blanks") << "Port=\" 42 \""_ba << fallback;
    QTest::newRow("int max") << "Port=2147483647"_ba << INT_MAX;
    QTest::newRow("int min") << "Port=-2147483648"_ba << INT_MIN;
    QTest::newRow("hex") << "Port=0x20"_ba << 32;
    QTest::newRow("hex upper") << "Port=0X1F"_ba << 31;
    QTest::newRow("hex mixed case") << "Port=0xaB"_ba << 0xab;
    QTest::newRow("hex all ones") << "Port=0xFFFFFFFF"_ba << -1;
    QTest::newRow("hex sign bit") << "Port=0x80000000"_ba << INT_MIN;
    QTest::newRow("hex leading zeros") << "Port=0x000000010"_ba << 16;
    QTest::newRow("zero") << "Port=0"_ba << 0;

    QTest::newRow("missing key") << "Other=5"_ba << fallback;
    QTest::newRow("empty") << "Port="_ba << fallback;
    QTest::newRow("letters") << "Port=abc"_ba << fallback;
    QTest::newRow("trailing letters") << "Port=12abc"_ba << fallback;
    QTest::newRow("inner blank") << "Port=1 2"_ba << fallback;
    QTest::newRow("decimal point") << "Port=1.5"_ba << fallback;
    QTest::newRow("sign only") << "Port=-"_ba << fallback;
    QTest::newRow("plus only") << "Port=+"_ba << fallback;
    QTest::newRow("two signs") << "Port=--5"_ba << fallback;
    QTest::newRow("0x alone") << "Port=0x"_ba << fallback;
    QTest::newRow("hex bad digit") << "Port=0x1g"_ba << fallback;
    QTest::newRow("hex with sign") << "Port=0x-1"_ba << fallback;
    QTest::newRow("signed hex") << "Port=-0x10"_ba << fallback;
    QTest::newRow("hex overflow") << "Port=0x100000000"_ba << fallback;
    QTest::newRow("overflow") << "Port=2147483648"_ba << fallback;
    QTest::newRow("underflow") << "Port=-2147483649"_ba << fallback;
    QTest::newRow("huge") << "Port=99999999999999999999"_ba << fallback;
    QTest::newRow("fullwidth digits") << "Port=\xef\xbc\x91\xef\xbc\x92"_ba << fallback;
}

void TestIniFile::readInteger()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    const auto ini = iniWith("[Server]\n" + line + "\n[Next]\nPort=1\n");
    QCOMPARE(ini->ReadInteger(u"Server"_s, u"Port"_s, 77), expected);
}

void TestIniFile::readBool_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");

    QTest::newRow("one") << "On=1"_ba << false << true;
    QTest::newRow("zero") << "On=0"_ba << true << false;
    QTest::newRow("two") << "On=2"_ba << false << true;
    QTest::newRow("minus one") << "On=-1"_ba << false << true;
    QTest::newRow("hex zero") << "On=0x0"_ba << true << false;
    QTest::newRow("word true, default false") << "On=true"_ba << false << false;
    QTest::newRow("word true, default true") << "On=true"_ba << true << true;
    QTest::newRow("missing, default true") << "Off=0"_ba << true << true;
    QTest::newRow("missing, default false") << "Off=1"_ba << false << false;
}

void TestIniFile::readBool()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    const auto ini = iniWith("[S]\n" + line + "\n");
    QCOMPARE(ini->ReadBool(u"S"_s, u"On"_s, defaultValue), expected);
}

void TestIniFile::readString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QString fallback = u"<default>"_s;
    QTest::newRow("plain") << "[S]\nName=hello world\n"_ba << u"hello world"_s;
    QTest::newRow("trimmed") << "[S]\n  Name  =   padded \t \n"_ba << u"padded"_s;
    QTest::newRow("double quotes") << "[S]\nName=\"quoted\"\n"_ba << u"quoted"_s;
    QTest::newRow("single quotes") << "[S]\nName='single'\n"_ba << u"single"_s;
    QTest::newRow("quotes keep blanks") << "[S]\nName=\"  kept  \"\n"_ba << u"  kept  "_s;
    QTest::newRow("mismatched quotes") << "[S]\nName=\"mixed'\n"_ba << u"\"mixed'"_s;
    QTest::newRow("lone quote") << "[S]\nName=\"\n"_ba << u"\""_s;
    QTest::newRow("empty quotes") << "[S]\nName=\"\"\n"_ba << QString();
    QTest::newRow("one pair removed") << "[S]\nName=\"\"x\"\"\n"_ba << u"\"x\""_s;
    QTest::newRow("equals in value") << "[S]\nName=a=b\n"_ba << u"a=b"_s;
    QTest::newRow("empty") << "[S]\nName=\n"_ba << QString();
    QTest::newRow("utf-8") << "[S]\nName=Gr\xc3\xbc\xc3\x9f\x65\n"_ba << u"Grüße"_s;
    QTest::newRow("invalid utf-8") << "[S]\nName=a\xff\xfe\n"_ba << u"a\uFFFD\uFFFD"_s;
    QTest::newRow("crlf") << "[S]\r\nName=x\r\n"_ba << u"x"_s;
    QTest::newRow("spaced section") << "[  S  ] trailing text\nName=x\n"_ba << u"x"_s;
    QTest::newRow("later section") << "[T]\nName=t\n[S]\nName=s\n"_ba << u"s"_s;
    QTest::newRow("semicolon comment") << "[S]\n;Name=x\n"_ba << fallback;
    QTest::newRow("hash comment") << "[S]\n  #Name=x\n"_ba << fallback;
    QTest::newRow("no equals") << "[S]\nName\n"_ba << fallback;
    QTest::newRow("before any section") << "Name=x\n[S]\n"_ba << fallback;
    QTest::newRow("other section") << "[T]\nName=x\n"_ba << fallback;
    QTest::newRow("empty file") << ""_ba << fallback;
}

void TestIniFile::readString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const auto ini = iniWith(content);
    QCOMPARE(ini->ReadString(u"S"_s, u"Name"_s, u"<default>"_s), expected);
}

void TestIniFile::missingFileReadsDefaults()
{
    const IniFile ini(path(u"absent.ini"_s));
    QCOMPARE(ini.ReadString(u"S"_s, u"k"_s, u"d"_s), u"d"_s);
    QCOMPARE(ini.ReadInteger(u"S"_s, u"k"_s, 5), 5);
    QCOMPARE(ini.ReadBool(u"S"_s, u"k"_s, true), true);
    QVERIFY(!QFileInfo::exists(path(u"absent.ini"_s)));
}

void TestIniFile::commentLinesAreNotKeys()
{
    const auto ini = iniWith("[S]\n;k=1\n  #k=2\n# j = 3\n\n");
    QCOMPARE(ini->ReadString(u"S"_s, u";k"_s, u"d"_s), u"d"_s);
    QCOMPARE(ini->ReadString(u"S"_s, u"#k"_s, u"d"_s), u"d"_s);
    QCOMPARE(ini->ReadString(u"S"_s, u"# j"_s, u"d"_s), u"d"_s);

    ini->WriteInteger(u"S"_s, u"#k"_s, 4);
    QCOMPARE(FileBytes(path()), "[S]\n;k=1\n  #k=2\n# j = 3\n#k=4\n\n"_ba);
}

void TestIniFile::namesIgnoreCase()
{
    const auto ini = iniWith("[Local]\nPort=80\n[\xc3\x84rger]\nMode=1\n");
    QCOMPARE(ini->ReadInteger(u"local"_s, u"PORT"_s, 0), 80);
    QCOMPARE(ini->ReadInteger(u"äRGER"_s, u"mode"_s, 0), 1);

    ini->WriteInteger(u"LOCAL"_s, u"port"_s, 81);
    QCOMPARE(FileBytes(path()), "[Local]\nPort=81\n[\xc3\x84rger]\nMode=1\n"_ba);
    QCOMPARE(ini->ReadInteger(u"Local"_s, u"Port"_s, 0), 81);
}

void TestIniFile::firstDuplicateWins()
{
    const auto ini = iniWith("[A]\nk=1\nK=2\n[B]\nk=5\n[a]\nk=3\nj=4\n");
    QCOMPARE(ini->ReadInteger(u"A"_s, u"k"_s, 0), 1);
    QCOMPARE(ini->ReadInteger(u"A"_s, u"j"_s, 0), 0); // only the first [A] counts

    ini->WriteInteger(u"A"_s, u"K"_s, 9);
    QCOMPARE(FileBytes(path()), "[A]\nk=9\nK=2\n[B]\nk=5\n[a]\nk=3\nj=4\n"_ba);

    ini->WriteInteger(u"A"_s, u"j"_s, 7);
    QCOMPARE(FileBytes(path()), "[A]\nk=9\nK=2\nj=7\n[B]\nk=5\n[a]\nk=3\nj=4\n"_ba);
    QCOMPARE(ini->ReadInteger(u"a"_s, u"J"_s, 0), 7);
    QCOMPARE(IniFile(path()).ReadInteger(u"A"_s, u"j"_s, 0), 7);
}

void TestIniFile::crlfFileKeepsUnknownLines()
{
    const auto ini = iniWith("; Vantrel settings\r\n"
                             "[Server]\r\n"
                             "Port = 80 \r\n"
                             "Ssl=0\n"
                             "Unknown=  keep   me \r\n"
                             "  a line without equals\t\r\n"
                             "\r\n"
                             "[Other]\r\n"
                             "x=\"1\"\r\n");
    ini->WriteInteger(u"Server"_s, u"port"_s, 81);
    ini->WriteInteger(u"Server"_s, u"ssl"_s, 1);
    ini->WriteString(u"Server"_s, u"Name"_s, u"cam"_s);
    ini->WriteString(u"Fresh"_s, u"k"_s, u"v"_s);
    QCOMPARE(FileBytes(path()), "; Vantrel settings\r\n"
                                "[Server]\r\n"
                                "Port=81\r\n"
                                "Ssl=1\n"
                                "Unknown=  keep   me \r\n"
                                "  a line without equals\t\r\n"
                                "Name=cam\r\n"
                                "\r\n"
                                "[Other]\r\n"
                                "x=\"1\"\r\n"
                                "[Fresh]\r\n"
                                "k=v\r\n"_ba);
}

void TestIniFile::lfFileKeepsUnknownLines()
{
    // The first line decides the style of new lines; other lines keep their own.
    const auto ini = iniWith("[Server]\n"
                             "Port=80\r\n"
                             "#Port=1\n"
                             "garbage \x01\x02\n");
    ini->WriteInteger(u"Server"_s, u"Port"_s, 81);
    ini->WriteInteger(u"Server"_s, u"Ssl"_s, 1);
    ini->WriteInteger(u"Web"_s, u"On"_s, 0);
    QCOMPARE(FileBytes(path()), "[Server]\n"
                                "Port=81\r\n"
                                "#Port=1\n"
                                "garbage \x01\x02\n"
                                "Ssl=1\n"
                                "[Web]\n"
                                "On=0\n"_ba);
}

void TestIniFile::newKeyGoesAfterLastLineOfSection()
{
    const auto ini = iniWith("[A]\nk=1\n\n \t\n[B]\n; note\n\n[C]");
    ini->WriteInteger(u"A"_s, u"n"_s, 2);
    ini->WriteInteger(u"B"_s, u"o"_s, 3);
    ini->WriteInteger(u"C"_s, u"p"_s, 4);
    QCOMPARE(FileBytes(path()), "[A]\nk=1\nn=2\n\n \t\n[B]\n; note\no=3\n\n[C]\np=4\n"_ba);
}

void TestIniFile::fileWithoutFinalLineEnd()
{
    auto ini = iniWith("[A]\nk=1");
    ini->WriteInteger(u"A"_s, u"k"_s, 5);
    QCOMPARE(FileBytes(path()), "[A]\nk=5"_ba);
    ini->WriteInteger(u"A"_s, u"n"_s, 2);
    QCOMPARE(FileBytes(path()), "[A]\nk=5\nn=2\n"_ba);

    ini = iniWith("[A]\r\nk=1");
    ini->WriteInteger(u"B"_s, u"x"_s, 1);
    QCOMPARE(FileBytes(path()), "[A]\r\nk=1\r\n[B]\r\nx=1\r\n"_ba);
}

void TestIniFile::newFileKeepsWriteOrder()
{
    IniFile ini(path());
    ini.WriteInteger(u"B"_s, u"x"_s, 1);
    QVERIFY(QFileInfo::exists(path()));
    ini.WriteInteger(u"A"_s, u"y"_s, 2);
    ini.WriteInteger(u"B"_s, u"z"_s, 3);
    ini.WriteInteger(u"A"_s, u"w"_s, 4);
    ini.WriteInteger(u"b"_s, u"X"_s, 5);
    QCOMPARE(FileBytes(path()), "[B]\nx=5\nz=3\n[A]\ny=2\nw=4\n"_ba);
}

void TestIniFile::hugeLineAndBinaryGarbage()
{
    const QByteArray head = "[A]\nbefore=1\n"_ba + QByteArray(10 * 1024 * 1024, 'x') + "\nbig="_ba +
                            QByteArray(10 * 1024 * 1024, 'y') + "\n\x00\xff\xfe=\x80\x00 \n"_ba + "after=2\n"_ba;
    QByteArray tail = "[\x00\xff]\n\x00=\x01\n[B]\nb=3\n"_ba;
    QRandomGenerator random(20240611);
    for (int i = 0; i < 64 * 1024; ++i)
        tail += static_cast<char>(random.bounded(256));
    const auto ini = iniWith(head + tail);

    QCOMPARE(ini->ReadInteger(u"A"_s, u"before"_s, 0), 1);
    QCOMPARE(ini->ReadInteger(u"A"_s, u"after"_s, 0), 2);
    QCOMPARE(ini->ReadInteger(u"B"_s, u"b"_s, 0), 3);
    QCOMPARE(ini->ReadString(u"A"_s, u"big"_s, {}), QString(IniFile::MaxStringLength, u'y'));
    QCOMPARE(ini->ReadString(u"A"_s, u"missing"_s, u"d"_s), u"d"_s);

    ini->WriteInteger(u"A"_s, u"new"_s, 4);
    QVERIFY(FileBytes(path()) == head + "new=4\n"_ba + tail);
    QCOMPARE(IniFile(path()).ReadInteger(u"A"_s, u"new"_s, 0), 4);
}

void TestIniFile::stringsAreCapped()
{
    const QByteArray longText(3000, 'a');
    const auto ini = iniWith("[S]\nlong=" + longText + "\nquoted=\"" + QByteArray(2100, 'b') +
                             "\"\nexact=" + QByteArray(IniFile::MaxStringLength, 'c') + "\n");
    QCOMPARE(ini->ReadString(u"S"_s, u"long"_s, {}), QString(IniFile::MaxStringLength, u'a'));
    QCOMPARE(ini->ReadString(u"S"_s, u"quoted"_s, {}), QString(IniFile::MaxStringLength, u'b'));
    QCOMPARE(ini->ReadString(u"S"_s, u"exact"_s, {}), QString(IniFile::MaxStringLength, u'c'));

    QString written;
    for (int i = 0; i < 3000; ++i)
        written += QChar(u'a' + i % 26);
    ini->WriteString(u"S"_s, u"written"_s, written);
    QCOMPARE(IniFile(path()).ReadString(u"S"_s, u"written"_s, {}), written.left(IniFile::MaxStringLength));
}

void TestIniFile::writtenValuesReadBack_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("plain") << u"plain text"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("leading blanks") << u"  leading"_s;
    QTest::newRow("trailing blanks") << u"trailing  "_s;
    QTest::newRow("both blanks") << u"  both  "_s;
    QTest::newRow("only blanks") << u"   "_s;
    QTest::newRow("leading tab") << u"\tx"_s;
    QTest::newRow("double quoted") << u"\"x\""_s;
    QTest::newRow("single quoted") << u"'y'"_s;
    QTest::newRow("quoted blanks") << u"\" padded \""_s;
    QTest::newRow("empty quotes") << u"\"\""_s;
    QTest::newRow("lone double quote") << u"\""_s;
    QTest::newRow("lone single quote") << u"'"_s;
    QTest::newRow("mismatched quotes") << u"\"x'"_s;
    QTest::newRow("inner quotes") << u"a \"quoted\" word"_s;
    QTest::newRow("equals") << u"=x=y="_s;
    QTest::newRow("comment marks") << u";#not a comment"_s;
    QTest::newRow("brackets") << u"[not a section]"_s;
    QTest::newRow("unicode") << u"Grüße 日本 😀"_s;
}

void TestIniFile::writtenValuesReadBack()
{
    QFETCH(QString, value);
    {
        IniFile ini(path());
        ini.WriteString(u"S"_s, u"first"_s, u"1"_s);
        ini.WriteString(u"S"_s, u"value"_s, value);
        ini.WriteString(u"S"_s, u"last"_s, u"2"_s);
        QCOMPARE(ini.ReadString(u"S"_s, u"value"_s, u"<default>"_s), value);
    }
    const IniFile reread(path());
    QCOMPARE(reread.ReadString(u"S"_s, u"value"_s, u"<default>"_s), value);
    QCOMPARE(reread.ReadString(u"S"_s, u"first"_s, {}), u"1"_s);
    QCOMPARE(reread.ReadString(u"S"_s, u"last"_s, {}), u"2"_s);

    // Rewriting an existing key must read back the same way.
    IniFile(path()).WriteString(u"S"_s, u"value"_s, value);
    QCOMPARE(IniFile(path()).ReadString(u"S"_s, u"value"_s, u"<default>"_s), value);
}

void TestIniFile::lineBreaksInValuesBecomeBlanks()
{
    IniFile ini(path());
    ini.WriteString(u"S"_s, u"k"_s, u"a\r\nb\nc"_s);
    ini.WriteString(u"S"_s, u"j"_s, u"x\n"_s);
    QCOMPARE(FileBytes(path()), "[S]\nk=a  b c\nj=\"x \"\n"_ba);
    QCOMPARE(IniFile(path()).ReadString(u"S"_s, u"k"_s, {}), u"a  b c"_s);
    QCOMPARE(IniFile(path()).ReadString(u"S"_s, u"j"_s, {}), u"x "_s);
}

void TestIniFile::integersAndBoolsWritten()
{
    IniFile ini(path());
    ini.WriteInteger(u"S"_s, u"neg"_s, -42);
    ini.WriteInteger(u"S"_s, u"min"_s, INT_MIN);
    ini.WriteInteger(u"S"_s, u"max"_s, INT_MAX);
    ini.WriteBool(u"S"_s, u"yes"_s, true);
    ini.WriteBool(u"S"_s, u"no"_s, false);
    QCOMPARE(FileBytes(path()), "[S]\nneg=-42\nmin=-2147483648\nmax=2147483647\nyes=1\nno=0\n"_ba);

    const IniFile reread(path());
    QCOMPARE(reread.ReadInteger(u"S"_s, u"min"_s, 0), INT_MIN);
    QCOMPARE(reread.ReadBool(u"S"_s, u"yes"_s, false), true);
    QCOMPARE(reread.ReadBool(u"S"_s, u"no"_s, true), false);
}

void TestIniFile::newFileIsOwnerOnly_data()
{
    QTest::addColumn<int>("mask");
    for (const int mask : {0, 022, 077, 0777})
        QTest::addRow("umask %03o", mask) << mask;
}

void TestIniFile::newFileIsOwnerOnly()
{
    QFETCH(int, mask);
    {
        const auto restore = qScopeGuard([previous = ::umask(static_cast<mode_t>(mask))] { ::umask(previous); });
        IniFile(path()).WriteString(u"Ftp"_s, u"Password"_s, u"secret"_s);
    }
    QCOMPARE(modeOf(path()), 0600);
    QCOMPARE(QFile::permissions(path()),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    QCOMPARE(IniFile(path()).ReadString(u"Ftp"_s, u"Password"_s, {}), u"secret"_s);
}

// The file holds passwords and keys: whoever else could read it cannot once it is written;
// the owner's own bits stay.
void TestIniFile::existingModeKeepsOnlyTheOwners_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("written");
    for (const int mode : {0644, 0640, 0604, 0666, 0755, 0600})
        QTest::addRow("%04o", mode) << mode << (mode & 0700);
}

void TestIniFile::existingModeKeepsOnlyTheOwners()
{
    QFETCH(int, mode);
    QFETCH(int, written);
    QVERIFY(putFile(path(), "[S]\nk=1\n"));
    QCOMPARE(::chmod(QFile::encodeName(path()).constData(), static_cast<mode_t>(mode)), 0);
    {
        const auto restore = qScopeGuard([previous = ::umask(077)] { ::umask(previous); });
        IniFile(path()).WriteInteger(u"S"_s, u"k"_s, 2);
    }
    QCOMPARE(modeOf(path()), written);
    QCOMPARE(FileBytes(path()), "[S]\nk=2\n"_ba);
}

void TestIniFile::readOnlyFileRefusesWrite_data()
{
    QTest::addColumn<int>("mode");
    for (const int mode : {0444, 0400, 0577})
        QTest::addRow("%04o", mode) << mode;
}

void TestIniFile::readOnlyFileRefusesWrite()
{
    QFETCH(int, mode);
    const QByteArray original = "[S]\r\nk=1\r\n";
    QVERIFY(putFile(path(), original));
    const QByteArray nativePath = QFile::encodeName(path());
    QCOMPARE(::chmod(nativePath.constData(), static_cast<mode_t>(mode)), 0);

    // Also holds when the test runs as root, who could write the file anyway.
    IniFile ini(path());
    const auto message = refusal([&] { ini.WriteInteger(u"S"_s, u"k"_s, 2); });
    QCOMPARE(message, std::optional<QString>(u"Unable to write to "_s + path()));
    QCOMPARE(FileBytes(path()), original);
    QCOMPARE(modeOf(path()), mode);
    QCOMPARE(entriesOf(dir_->path()), QStringList{u"settings.ini"_s});
    QCOMPARE(ini.ReadInteger(u"S"_s, u"k"_s, 0), 1);

    QVERIFY(refusal([&] { ini.WriteInteger(u"T"_s, u"n"_s, 2); }));
    QCOMPARE(FileBytes(path()), original);

    // Once writable again, the refused changes do not come back.
    QCOMPARE(::chmod(nativePath.constData(), 0600), 0);
    ini.WriteInteger(u"S"_s, u"m"_s, 3);
    QCOMPARE(FileBytes(path()), "[S]\r\nk=1\r\nm=3\r\n"_ba);
}

void TestIniFile::missingFolderRefusesWrite()
{
    const QString missing = dir_->filePath(u"no/such/folder/settings.ini"_s);
    IniFile ini(missing);
    QCOMPARE(refusal([&] { ini.WriteString(u"S"_s, u"k"_s, u"v"_s); }),
             std::optional<QString>(u"Unable to write to "_s + missing));
    QCOMPARE(ini.ReadString(u"S"_s, u"k"_s, u"d"_s), u"d"_s);
    QCOMPARE(entriesOf(dir_->path()), QStringList());
}

void TestIniFile::closedFolderStillTakesItsWritableFile()
{
    const QString file = fileInFolder("[S]\r\nk=1\r\n"_ba);
    const QString folder = QFileInfo(file).path();
    {
        FolderClosedToWriting closed(folder, file);
        IniFile ini(file);
        QCOMPARE(refusal([&] { ini.WriteInteger(u"S"_s, u"k"_s, 2); }), std::nullopt);
    }
    QCOMPARE(FileBytes(file), "[S]\r\nk=2\r\n"_ba);
    QCOMPARE(entriesOf(folder), QStringList{u"settings.ini"_s});
}

void TestIniFile::refusedWriteInPlaceKeepsTheOldContent()
{
    const QByteArray original = "[S]\r\nk=1\r\n";
    const QString file = fileInFolder(original);
    {
        // The file may grow by a few bytes only, as on a full disk.
        rlimit before = {};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &before); });
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = {static_cast<rlim_t>(original.size()) + 4, before.rlim_max};
        FolderClosedToWriting closed(QFileInfo(file).path(), file);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        QVERIFY(refusal([&] { IniFile(file).WriteString(u"S"_s, u"k"_s, QString(100, u'v')); }));
    }
    QCOMPARE(FileBytes(file), original);
}

void TestIniFile::deferredWritesStoreOnce()
{
    const auto state = std::make_shared<ScriptedState>();
    IniFile ini(std::make_unique<ScriptedStorage>(state), IniFile::Writes::Deferred);
    ini.WriteInteger(u"S"_s, u"a"_s, 1);
    ini.WriteInteger(u"T"_s, u"b"_s, 2);
    QCOMPARE(state->writes, 0);
    ini.Save();
    ini.Save();
    QCOMPARE(state->writes, 1);
    QCOMPARE(state->content, std::optional<QByteArray>("[S]\na=1\n[T]\nb=2\n"_ba));
}

void TestIniFile::folderInPlaceOfFileRefusesWrite()
{
    // The temporary file is written before the rename over the folder fails.
    QVERIFY(QDir(dir_->path()).mkdir(u"settings.ini"_s));
    IniFile ini(path());
    QCOMPARE(ini.ReadString(u"S"_s, u"k"_s, u"d"_s), u"d"_s);
    QCOMPARE(refusal([&] { ini.WriteString(u"S"_s, u"k"_s, u"v"_s); }),
             std::optional<QString>(u"Unable to write to "_s + path()));
    QCOMPARE(entriesOf(dir_->path()), QStringList{u"settings.ini"_s});
    QCOMPARE(entriesOf(path()), QStringList());
}

void TestIniFile::refusedWriteLeavesObjectAsStored()
{
    const auto state = std::make_shared<ScriptedState>();
    state->failingWrite = 3;
    IniFile ini(std::make_unique<ScriptedStorage>(state));

    ini.WriteInteger(u"S"_s, u"a"_s, 1);
    ini.WriteInteger(u"S"_s, u"b"_s, 2);
    QCOMPARE(refusal([&] { ini.WriteInteger(u"S"_s, u"c"_s, 3); }),
             std::optional<QString>(u"Unable to write to scripted.ini"_s));
    QCOMPARE(state->writes, 3);
    QCOMPARE(state->content, std::optional<QByteArray>("[S]\na=1\nb=2\n"_ba));
    QCOMPARE(ini.ReadInteger(u"S"_s, u"a"_s, 0), 1);
    QCOMPARE(ini.ReadInteger(u"S"_s, u"b"_s, 0), 2);
    QCOMPARE(ini.ReadInteger(u"S"_s, u"c"_s, 0), 0);

    // The next write stores what the object holds, so nothing refused leaks in.
    ini.WriteInteger(u"S"_s, u"d"_s, 4);
    QCOMPARE(state->content, std::optional<QByteArray>("[S]\na=1\nb=2\nd=4\n"_ba));
}

void TestIniFile::refusedReplaceKeepsOldValue()
{
    const auto state = std::make_shared<ScriptedState>();
    state->content = "[S]\nk=1\n"_ba;
    state->failingWrite = 1;
    IniFile ini(std::make_unique<ScriptedStorage>(state));

    QVERIFY(refusal([&] { ini.WriteInteger(u"S"_s, u"k"_s, 2); }));
    QCOMPARE(ini.ReadInteger(u"S"_s, u"k"_s, 0), 1);
    ini.WriteInteger(u"T"_s, u"n"_s, 5);
    QCOMPARE(state->content, std::optional<QByteArray>("[S]\nk=1\n[T]\nn=5\n"_ba));
}

void TestIniFile::writesThroughSymlink()
{
    const QString real = path(u"real.ini"_s);
    const QString link = path(u"link.ini"_s);
    QVERIFY(putFile(real, "[S]\nk=1\n"));
    QCOMPARE(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    QVERIFY(QFile::link(u"real.ini"_s, link));

    IniFile(link).WriteInteger(u"S"_s, u"k"_s, 2);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(FileBytes(real), "[S]\nk=2\n"_ba);
    QCOMPARE(modeOf(real), 0600); // and only its owner reads it

    // A link whose target does not exist yet gets the target created.
    const QString dangling = path(u"dangling.ini"_s);
    QVERIFY(QFile::link(u"target.ini"_s, dangling));
    IniFile(dangling).WriteInteger(u"S"_s, u"k"_s, 3);
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(FileBytes(path(u"target.ini"_s)), "[S]\nk=3\n"_ba);
    QCOMPARE(modeOf(path(u"target.ini"_s)), 0600);

    QCOMPARE(entriesOf(dir_->path()), (QStringList{u"dangling.ini"_s, u"link.ini"_s, u"real.ini"_s, u"target.ini"_s}));
}

void TestIniFile::noTempFilesLeft()
{
    IniFile ini(path());
    for (int i = 0; i < 20; ++i)
        ini.WriteInteger(u"S%1"_s.arg(i % 3), u"k%1"_s.arg(i), i);
    QCOMPARE(entriesOf(dir_->path()), QStringList{u"settings.ini"_s});
    QCOMPARE(IniFile(path()).ReadInteger(u"S1"_s, u"k19"_s, 0), 19);
}

void TestIniFile::settingsFileName_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no extension") << u"/opt/x/vantrel"_s << u"/opt/x/vantrel.INI"_s;
    QTest::newRow("extension") << u"/a.b/vantrel.bin"_s << u"/a.b/vantrel.INI"_s;
    QTest::newRow("dot only in folder") << u"/a.b/vantrel"_s << u"/a.b/vantrel.INI"_s;
    QTest::newRow("two extensions") << u"/opt/vantrel.tar.gz"_s << u"/opt/vantrel.tar.INI"_s;
    QTest::newRow("trailing dot") << u"/opt/vantrel."_s << u"/opt/vantrel.INI"_s;
    QTest::newRow("relative") << u"vantrel.exe"_s << u"vantrel.INI"_s;
    QTest::newRow("bare name") << u"vantrel"_s << u"vantrel.INI"_s;
}

void TestIniFile::settingsFileName()
{
    QFETCH(QString, executable);
    QFETCH(QString, expected);
    QCOMPARE(SettingsFileNameFor(executable), expected);
}

void TestIniFile::settingsFileBesideWritableExecutable()
{
    // The test binary sits in a writable build folder.
    const QString folder = QCoreApplication::applicationDirPath();
    QCOMPARE(FileBesideExecutable(u"vantrel-test.txt"_s, QStandardPaths::TempLocation),
             folder + u"/vantrel-test.txt"_s);
    QCOMPARE(SettingsFilePath(), folder + u"/TestIniFile.INI"_s);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "TestIniFile.moc"
