#include "server/RequestDispatch.h"

#include <array>
#include <utility>

namespace request {

QByteArray Head(const QByteArray &requestText)
{
    QByteArray head = requestText.left(HeadLength);
    for (char &c : head) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return head;
}

Kind Classify(const QByteArray &head)
{
    // Order matters: "GET /PIC" is tried before "GET /STREAMPIC", as the page relies on. The
    // stream's URLs (and the still of the clients that ask for one beside it) come last, so
    // that nothing answered before them changes.
    static const std::array<std::pair<const char *, Kind>, 20> keywords{{
        {"GET /TITLE.JPG", Kind::TitleImage},
        {"GET /PIC", Kind::Picture},
        {"GET /STREAMPIC", Kind::StreamPicture},
        {"GET /CHART", Kind::WindowPicture},
        {"SAY:", Kind::Say},
        {"MSG:", Kind::Msg},
        {"QUIT", Kind::Quit},
        {"STATUS", Kind::Status},
        {"GET /STREAM.MJPG", Kind::Stream},
        {"GET /?ACTION=STREAM", Kind::Stream},
        {"GET /?ACTION=SNAPSHOT", Kind::Snapshot},
        {"GET /STATE", Kind::State},
        {"GET /LIVE", Kind::LivePage},
        {"POST /WHEP", Kind::WhepOffer},
        {"DELETE /WHEP/", Kind::WhepEnd},
        {"OPTIONS /WHEP", Kind::WhepOptions},
        {"GET /RECORDINGS.JSON", Kind::RecordingsList},
        {"GET /RECORDINGS/", Kind::RecordingFile},
        {"GET /RECORDINGS", Kind::RecordingsPage},
        {"POST /ONVIF/", Kind::Onvif},
    }};
    for (const auto &[keyword, kind] : keywords) {
        if (head.startsWith(keyword))
            return kind;
    }
    return Kind::Index;
}

char WindowChoice(const QByteArray &head)
{
    constexpr int position = 10; // just after "GET /CHART"
    return head.size() > position ? head.at(position) : '\0';
}

} // namespace request
