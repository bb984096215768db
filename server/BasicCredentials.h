#pragma once

#include <QByteArray>

#include <optional>

// The user name and password a request carries in its "Authorization: Basic" header.
namespace http {

struct BasicCredentials {
    QByteArray user; // UTF-8, as browsers send it when asked with charset="UTF-8"
    QByteArray password;
};

// The credentials of the first Authorization header among the request's header lines; none
// when there is no such header, its scheme is not Basic, its value is not canonical Base64,
// or the decoded text has no colon (the user name ends at the first one).
std::optional<BasicCredentials> BasicCredentialsOf(const QByteArray &requestText);

// The upper-cased head as it may be logged: cut where an Authorization header line begins, if it does.
QByteArray WithoutAuthorization(const QByteArray &head);

} // namespace http
