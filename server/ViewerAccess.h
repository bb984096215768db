#pragma once

#include <QByteArray>
#include <QString>

// Who may watch. With a viewer password set, a request is answered only when it names an
// HTTP version and its Basic credentials give the viewer's user name and password; the
// plain-text commands and requests without a version cannot carry credentials and are not
// answered at all. With no password set, every request is answered. Only digests are
// kept, and they are compared without an early exit, so neither the time of a refusal nor
// the length of a guess tells a guesser how close it came.
class ViewerAccess {
public:
    enum class Verdict {
        Admitted,
        AskForPassword, // an HTTP request without credentials: 401, then close
        WrongPassword,  // an HTTP request with credentials that are not the viewer's: 401, then close
        Closed,         // a plain-text command or a request without an HTTP version: close unanswered
    };

    // An empty password lets everyone watch, whatever the user name.
    void Set(const QString &user, const QString &password);
    bool Required() const { return !passwordDigest_.isEmpty(); }
    Verdict Judge(const QByteArray &requestText) const;

private:
    Verdict judgeCredentials(const QByteArray &requestText) const;

    QByteArray userDigest_;
    QByteArray passwordDigest_;
};
