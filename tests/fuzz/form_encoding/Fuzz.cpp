// The directory's form encoding of any text a user can type or paste: decoding the result
// gives back the text's bytes (with "+" read as a space, as the directory reads it).
#include "publish/FormEncoding.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>
#include <cstring>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray decoded(const QByteArray &encoded)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded.at(i);
        FUZZ_REQUIRE(c != ' ');
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%') {
            FUZZ_REQUIRE(i + 2 < encoded.size());
            const int high = hexValue(encoded.at(i + 1));
            const int low = hexValue(encoded.at(i + 2));
            FUZZ_REQUIRE(high >= 0 && low >= 0);
            const char byte = static_cast<char>(high * 16 + low);
            FUZZ_REQUIRE(std::strchr("!:/'#$%^&*", byte) != nullptr && byte != '\0');
            bytes += byte;
            i += 2;
        } else {
            FUZZ_REQUIRE(std::strchr("!:/'#$^&*", c) == nullptr || c == '\0');
            bytes += c;
        }
    }
    return bytes;
}

void check(const QString &text)
{
    QByteArray expected = text.toUtf8();
    expected.replace('+', ' ');
    FUZZ_REQUIRE(decoded(EncodeFormValue(text)) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    check(QString::fromUtf8(bytes, static_cast<qsizetype>(size)));
    // UTF-16 as it comes, lone surrogates included.
    QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(units.data(), bytes, size / 2 * 2);
    check(units);
    return 0;
}
