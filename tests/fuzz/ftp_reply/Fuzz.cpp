// FTP reply lines as any server may send them, split at line feeds as the client reads them:
// the code of each line, whether another line of the reply follows, and the data connection
// a passive-mode answer offers.
#include "net/ftp/FtpPassiveReply.h"
#include "net/ftp/FtpReply.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>
#include <limits>

namespace {

// The value of the line's leading digits (at most ten), 0 when there are none or it does not fit.
int expectedCode(const QByteArray &line)
{
    qint64 value = 0;
    qsizetype digits = 0;
    for (; digits < line.size() && digits < 10 && line.at(digits) >= '0' && line.at(digits) <= '9'; ++digits)
        value = value * 10 + (line.at(digits) - '0');
    return digits > 0 && value <= std::numeric_limits<int>::max() ? static_cast<int>(value) : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray reply(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    qsizetype start = 0;
    while (start < reply.size()) {
        const qsizetype feed = reply.indexOf('\n', start);
        const qsizetype end = feed < 0 ? reply.size() : feed + 1;
        const QByteArray line = reply.sliced(start, end - start);
        start = end;

        FUZZ_REQUIRE(FtpReply::Code(line) == expectedCode(line));
        const bool continues = line.startsWith(' ') || (line.size() >= 4 && line.at(3) == '-');
        FUZZ_REQUIRE(FtpReply::Continues(line) == continues);

        if (const auto offer = FtpPassiveReply::Pasv(line))
            FUZZ_REQUIRE(expectedCode(line) == 227 && offer->port != 0);
        if (const auto offer = FtpPassiveReply::Epsv(line))
            FUZZ_REQUIRE(expectedCode(line) == 229 && offer->port != 0 && offer->address == 0);
    }
    return 0;
}
