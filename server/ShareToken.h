#pragma once

#include <QByteArray>

#include <optional>

// Where a request carries a share link's token: in its address ("?share=<token>", as the
// link was given) or, for the page's own requests after that, in the cookie the page was
// answered with.
namespace http {

struct ShareToken {
    QByteArray token;
    bool inAddress = false;
};

// The token of the request's first line, or else of its "vantrel-share" cookie; none when it
// carries neither.
std::optional<ShareToken> ShareTokenOf(const QByteArray &requestText);

// The header line that has the browser send the token with the page's further requests for as
// long as the link lasts (a session's length when it lasts until revoked).
QByteArray ShareCookieLine(const QByteArray &token, qint64 secondsLeft, bool secure);

// The upper-cased head as it may be logged: cut where the token begins, if it is there.
QByteArray WithoutShareToken(const QByteArray &head);

} // namespace http
