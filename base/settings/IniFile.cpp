#include "base/settings/IniFile.h"

#include "base/seams/Exception.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringView>

#include <limits>

using namespace Qt::StringLiterals;

// What one line means. The views point into the parsed line's bytes.
struct IniFile::Line {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    QByteArrayView name;  // section or key, trimmed
    QByteArrayView value; // trimmed, quotes still on
};

// Where a section and a key are, as line indexes; -1 when absent.
struct IniFile::Location {
    qsizetype section = -1;
    qsizetype sectionEnd = -1; // one past the section's last line
    qsizetype key = -1;
};

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

bool isBlank(QChar c) { return c.unicode() < 128 && isBlank(static_cast<char>(c.unicode())); }

bool isQuote(QChar c) { return c == u'"' || c == u'\''; }

bool hasMatchingQuotes(QStringView text)
{
    return text.size() >= 2 && isQuote(text.front()) && text.front() == text.back();
}

bool sameName(QByteArrayView raw, const QString &name)
{
    return QString::fromUtf8(raw).compare(name, Qt::CaseInsensitive) == 0;
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

std::optional<int> parseInteger(QStringView text)
{
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        quint64 value = 0;
        for (const QChar c : text.sliced(2)) {
            const int digit = hexDigit(c.unicode());
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<quint64>(digit);
            if (value > std::numeric_limits<quint32>::max())
                return std::nullopt;
        }
        return static_cast<int>(static_cast<quint32>(value));
    }

    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    // Accumulated as a magnitude so INT_MIN, whose magnitude exceeds INT_MAX, fits.
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// A line break inside a name or value would split it into two lines.
QString singleLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

// Reading trims blanks and strips one pair of quotes; an extra pair of quotes
// protects values that reading would otherwise change.
QString quotedForWriting(const QString &value)
{
    if (value.isEmpty())
        return value;
    if (isBlank(value.front()) || isBlank(value.back()) || hasMatchingQuotes(value))
        return u'"' + value + u'"';
    return value;
}

QByteArray contentOf(const QList<QByteArray> &lines)
{
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size();
    QByteArray content;
    content.reserve(size);
    for (const QByteArray &line : lines)
        content += line;
    return content;
}

} // namespace

IniFile::IniFile(std::unique_ptr<IniStorage> storage, Writes writes) : storage_(std::move(storage)), writes_(writes)
{
    const IniContent read = storage_->read();
    unreadable_ = read.unreadable;
    const QByteArray content = read.bytes.value_or(QByteArray());
    // Each entry keeps its own line end, so untouched lines go back unchanged.
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype newline = content.indexOf('\n', start);
        const qsizetype end = newline < 0 ? content.size() : newline + 1;
        lines_.append(content.sliced(start, end - start));
        start = end;
    }
    if (!lines_.isEmpty() && lines_.front().endsWith("\r\n"))
        lineEnd_ = QByteArrayLiteral("\r\n");
}

IniFile::IniFile(const QString &path) : IniFile(std::make_unique<FileIniStorage>(QFile::encodeName(path))) {}

IniFile::~IniFile() = default;

IniFile::Line IniFile::parse(const QByteArray &raw)
{
    Line line;
    const QByteArrayView text = QByteArrayView(raw).trimmed();
    if (text.isEmpty() || text.front() == ';' || text.front() == '#')
        return line;
    if (text.front() == '[') {
        const qsizetype close = text.indexOf(']');
        line.kind = Line::Kind::Section;
        line.name = text.sliced(1, (close < 0 ? text.size() : close) - 1).trimmed();
        return line;
    }
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return line;
    line.kind = Line::Kind::Key;
    line.name = text.first(equals).trimmed();
    line.value = text.sliced(equals + 1).trimmed();
    return line;
}

IniFile::Location IniFile::locate(const QString &section, const QString &key) const
{
    Location location;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line line = parse(lines_[i]);
        if (line.kind == Line::Kind::Section) {
            if (location.section >= 0) {
                location.sectionEnd = i;
                return location;
            }
            if (sameName(line.name, section))
                location.section = i;
        } else if (line.kind == Line::Kind::Key && location.section >= 0 && location.key < 0 &&
                   sameName(line.name, key)) {
            location.key = i;
        }
    }
    if (location.section >= 0)
        location.sectionEnd = lines_.size();
    return location;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const Location location = locate(section, key);
    if (location.key < 0)
        return std::nullopt;
    QString text = QString::fromUtf8(parse(lines_[location.key]).value);
    if (hasMatchingQuotes(text))
        text = text.sliced(1, text.size() - 2);
    return text;
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const std::optional<QString> text = value(section, key);
    if (!text)
        return defaultValue;
    return text->left(MaxStringLength);
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> text = value(section, key);
    if (!text)
        return defaultValue;
    return parseInteger(*text).value_or(defaultValue);
}

bool IniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QByteArray written = quotedForWriting(singleLine(value)).toUtf8();
    const Location location = locate(section, key);
    QList<QByteArray> lines = lines_;

    // A line without its own line end can only be the file's last one.
    const auto terminate = [this](QByteArray &line) {
        if (!line.endsWith('\n'))
            line += lineEnd_;
    };

    if (location.key >= 0) {
        QByteArray &line = lines[location.key];
        const QByteArray keepEnd = line.endsWith("\r\n") ? QByteArrayLiteral("\r\n")
                                   : line.endsWith('\n') ? QByteArrayLiteral("\n")
                                                         : QByteArray();
        line = parse(line).name.toByteArray() + '=' + written + keepEnd;
    } else if (location.section >= 0) {
        qsizetype last = location.sectionEnd - 1;
        while (last > location.section && QByteArrayView(lines[last]).trimmed().isEmpty())
            --last;
        terminate(lines[last]);
        lines.insert(last + 1, singleLine(key).toUtf8() + '=' + written + lineEnd_);
    } else {
        if (!lines.isEmpty())
            terminate(lines.back());
        lines.append('[' + singleLine(section).toUtf8() + ']' + lineEnd_);
        lines.append(singleLine(key).toUtf8() + '=' + written + lineEnd_);
    }

    if (writes_ == Writes::Immediate)
        store(lines);
    lines_ = std::move(lines);
    changed_ = writes_ == Writes::Deferred;
}

void IniFile::DeleteKey(const QString &section, const QString &key)
{
    const Location location = locate(section, key);
    if (location.key < 0)
        return;
    QList<QByteArray> lines = lines_;
    lines.removeAt(location.key);
    if (writes_ == Writes::Immediate)
        store(lines);
    lines_ = std::move(lines);
    changed_ = writes_ == Writes::Deferred;
}

void IniFile::Save()
{
    if (!changed_)
        return;
    store(lines_);
    changed_ = false;
}

// A file that is there but could not be read is never replaced: what it holds, the
// keys this program does not know included, would be lost.
void IniFile::store(const QList<QByteArray> &lines)
{
    if (!unreadable_.isEmpty() || !storage_->write(contentOf(lines)))
        throw Exception(u"Unable to write to %1"_s.arg(storage_->path()));
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? u"1"_s : u"0"_s);
}
