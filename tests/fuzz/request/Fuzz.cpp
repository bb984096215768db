// The request head, the keyword dispatch and the HTTP-version test on any bytes a peer sends.
#include "server/HttpFraming.h"
#include "server/RequestDispatch.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>

namespace {

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    const QByteArray head = request::Head(text);
    FUZZ_REQUIRE(head.size() == std::min<qsizetype>(text.size(), request::HeadLength));
    for (qsizetype i = 0; i < head.size(); ++i)
        FUZZ_REQUIRE(head.at(i) == upperAscii(text.at(i)));

    // Nothing after the head plays a part in the choice.
    const request::Kind kind = request::Classify(head);
    if (text.size() >= request::HeadLength)
        FUZZ_REQUIRE(request::Classify(request::Head(text + "GET /PIC")) == kind);
    if (kind == request::Kind::WindowPicture) {
        const char choice = request::WindowChoice(head);
        FUZZ_REQUIRE(head.size() > 10 ? choice == head.at(10) : choice == '\0');
    }

    // Only the first line can name a version.
    const bool framed = http::NamesHttpVersion(text);
    const qsizetype feed = text.indexOf('\n');
    if (feed >= 0)
        FUZZ_REQUIRE(http::NamesHttpVersion(text.left(feed + 1) + " HTTP/1.1\r\n") == framed);
    if (framed)
        FUZZ_REQUIRE(text.left(feed < 0 ? text.size() : feed).contains(" HTTP/"));
    return 0;
}
