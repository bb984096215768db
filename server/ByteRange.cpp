#include "server/ByteRange.h"

#include <limits>

namespace byterange {

namespace {

constexpr qint64 TooLarge = std::numeric_limits<qint64>::max();

// Digits only; TooLarge when they are more than a 64-bit count holds, none when not digits.
std::optional<qint64> numberOf(const QByteArray &digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value > (TooLarge - (c - '0')) / 10)
            return TooLarge;
        value = value * 10 + (c - '0');
    }
    return value;
}

Choice whole(qint64 size) { return {Kind::Whole, 0, size - 1}; }

} // namespace

Choice Choose(const std::optional<QByteArray> &header, qint64 size)
{
    if (!header)
        return whole(size);
    const QByteArray value = header->trimmed();
    if (!value.toLower().startsWith("bytes=") || value.contains(','))
        return whole(size);
    const QByteArray asked = value.mid(6).trimmed();
    const qsizetype dash = asked.indexOf('-');
    if (dash < 0)
        return whole(size);
    const QByteArray before = asked.left(dash).trimmed();
    const QByteArray after = asked.mid(dash + 1).trimmed();
    if (before.isEmpty()) { // the last N bytes
        const std::optional<qint64> suffix = numberOf(after);
        if (!suffix)
            return whole(size);
        if (*suffix == 0 || size == 0)
            return {Kind::Unsatisfiable, 0, -1};
        return {Kind::Part, size - std::min(*suffix, size), size - 1};
    }
    const std::optional<qint64> first = numberOf(before);
    const std::optional<qint64> last = after.isEmpty() ? std::optional<qint64>(TooLarge) : numberOf(after);
    if (!first || !last || *last < *first)
        return whole(size);
    if (*first >= size)
        return {Kind::Unsatisfiable, 0, -1};
    return {Kind::Part, *first, std::min(*last, size - 1)};
}

} // namespace byterange
