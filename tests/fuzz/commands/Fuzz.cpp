// The plain commands as a peer may type them: which command a text is, and the message that
// "SAY:" logs and "MSG:" shows, and that message as the terminal shows it.
#include "base/log/LogMirror.h"
#include "server/CommandText.h"
#include "server/RequestDispatch.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const request::Kind kind = request::Classify(request::Head(text));
    const QByteArray keyword = text.left(4).toUpper();
    FUZZ_REQUIRE((kind == request::Kind::Say) == (keyword == "SAY:"));
    FUZZ_REQUIRE((kind == request::Kind::Msg) == (keyword == "MSG:"));
    FUZZ_REQUIRE((kind == request::Kind::Quit) == (keyword == "QUIT"));
    FUZZ_REQUIRE((kind == request::Kind::Status) == (text.left(6).toUpper() == "STATUS"));

    // The message is the text between the keyword and the last character, cut at the limit.
    const QString message = command::MessageText(text);
    const qsizetype length = std::max<qsizetype>(text.size() - 5, 0);
    const qsizetype shown = std::min<qsizetype>(length, command::MaxMessageLength);
    FUZZ_REQUIRE(message.left(shown) == QString::fromLatin1(text.mid(4, shown)));
    if (length <= command::MaxMessageLength)
        FUZZ_REQUIRE(message.size() == length);
    else
        FUZZ_REQUIRE(message.size() < command::MaxMessageLength + 64);

    // No control character of a peer's reaches the terminal.
    for (const QChar c : TerminalSafeText(message, LineBreaks::Escape))
        FUZZ_REQUIRE(c.unicode() >= 0x20 && (c.unicode() < 0x7f || c.unicode() >= 0xa0));
    return 0;
}
