#pragma once

#include <QByteArray>

// What the server makes of one read event: the head it looks at and the branch it takes.
namespace request {

// Characters of a request that the dispatcher looks at.
constexpr int HeadLength = 30;

enum class Kind {
    TitleImage,
    Picture,
    StreamPicture,
    WindowPicture,
    Say,
    Msg,
    Quit,
    Status,
    Stream,
    Snapshot,
    State,
    LivePage,
    WhepOffer,
    WhepEnd,
    WhepOptions,
    RecordingsList,
    RecordingFile,
    RecordingsPage,
    Onvif,
    Index
};

// The first 30 characters of the request, ASCII letters upper-cased, every other byte kept.
QByteArray Head(const QByteArray &requestText);

// The first keyword, in the dispatcher's order, that the head begins with; Index otherwise.
Kind Classify(const QByteArray &head);

// The character after "GET /CHART" that picks the window; 0 when the head ends there.
char WindowChoice(const QByteArray &head);

} // namespace request
