#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>
#include <vector>

// Who may watch. With a viewer password set, a request is answered only when it names an
// HTTP version and its Basic credentials give the viewer's user name and password; the
// plain-text commands and requests without a version cannot carry credentials and are not
// answered at all. With no password set, every request is answered.
//
// The password is known only by its slow salted hash (passwordhash), which a check of
// credentials not seen before costs; credentials that passed are remembered by a keyed
// digest only, so a viewer's further requests cost microseconds. Every comparison looks at
// every byte, so neither the time of a refusal nor the length of a guess tells a guesser how
// close it came. The checks may come from any thread (RTSP's included).
class ViewerAccess {
public:
    enum class Verdict {
        Admitted,
        AskForPassword, // an HTTP request without credentials: 401, then close
        WrongPassword,  // an HTTP request with credentials that are not the viewer's: 401, then close
        Closed,         // a plain-text command or a request without an HTTP version: close unanswered
    };

    // The viewer's user name and the password's hash line; an empty line lets everyone watch,
    // whatever the user name.
    void Set(const QString &user, const QString &passwordHash);
    bool Required() const;
    Verdict Judge(const QByteArray &requestText) const;
    // Whether a user name and password (as an RTSP client gives them) are the viewer's.
    bool Admits(const QByteArray &user, const QByteArray &password) const;

    // Credentials remembered as having passed, the newest first.
    static constexpr size_t RememberedCredentials = 16;

private:
    Verdict judgeCredentials(const QByteArray &requestText) const;
    QByteArray keyed(const QByteArray &user, const QByteArray &password) const;

    mutable std::mutex mutex_;
    QByteArray userDigest_;
    QString passwordHash_;
    QByteArray key_;
    mutable std::vector<QByteArray> passed_;
};
