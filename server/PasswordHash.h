#pragma once

#include <QByteArray>
#include <QString>

// Passwords as they are kept: salted PBKDF2-HMAC-SHA256 with a high count, in one line of
// text, "pbkdf2-sha256$<count>$<salt>$<hash>" (salt and hash in Base64), so that a settings
// file that is read by someone else does not give the password away.
namespace passwordhash {

constexpr int Iterations = 600000;

// A new line for the password, with a fresh salt from the system's random source; empty when
// no random bytes could be had.
QString Make(const QString &password);
// Whether the password is the one the line was made for; every byte of the hash is compared
// whatever the others hold. False for a line of any other form.
bool Matches(const QString &line, const QByteArray &password);
// Whether the text has the form of such a line.
bool IsHash(const QString &text);

} // namespace passwordhash
