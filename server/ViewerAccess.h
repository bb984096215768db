#pragma once

#include "server/ViewerAccount.h"

#include <QByteArray>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

namespace request {
enum class Kind;
}

// Who may watch. With at least one viewer account, a request is answered only when it names
// an HTTP version and its Basic credentials give an account's name and password, and that
// account may see what it asks for (the live picture, or the recordings); the plain-text
// commands and requests without a version cannot carry credentials and are not answered at
// all. With no account, every request is answered.
//
// Passwords are known only by their slow salted hashes (passwordhash), which a check of
// credentials not seen before costs; credentials that passed are remembered by a keyed
// digest only, so a viewer's further requests cost microseconds. Every comparison looks at
// every byte, and a name that is no account's costs the same slow check, so neither the
// time of a refusal nor the length of a guess tells a guesser how close it came. The checks
// may come from any thread (RTSP's included).
class ViewerAccess {
public:
    enum class Verdict {
        Admitted,
        AskForPassword, // an HTTP request without credentials: 401, then close
        WrongPassword,  // an HTTP request with credentials that are no account's: 401, then close
        NotAllowed,     // the account's, but it may not see this: 403, then close
        Closed,         // a plain-text command or a request without an HTTP version: close unanswered
    };

    // The accounts in force; none lets everyone watch.
    void Set(std::vector<ViewerAccount> accounts);
    bool Required() const;
    Verdict Judge(const QByteArray &requestText) const;
    // Whether judging the request would cost the slow hash: it gives credentials that have not
    // passed before.
    bool NeedsSlowCheck(const QByteArray &requestText) const;
    // Whether a name and password (as an RTSP client gives them) are of an account that may
    // watch live.
    bool Admits(const QByteArray &user, const QByteArray &password) const;

    // What a request of this kind shows: the recordings, or else the live camera.
    static bool ShowsRecordings(request::Kind kind);

    // Credentials remembered as having passed, the newest first.
    static constexpr size_t RememberedCredentials = 16;

private:
    struct Rights {
        bool live;
        bool recordings;
    };

    struct Known {
        QByteArray nameDigest;
        QString passwordHash;
        bool mayWatchLive;
        bool mayWatchRecordings;
    };
    struct Passed {
        QByteArray mark;
        Rights rights;
    };

    // What the credentials' account may see; nothing when they are no account's.
    std::optional<Rights> rightsOf(const QByteArray &user, const QByteArray &password) const;
    std::optional<Rights> remembered(const QByteArray &mark) const;
    QByteArray keyed(const QByteArray &user, const QByteArray &password) const;

    mutable std::mutex mutex_;
    std::vector<Known> accounts_;
    QByteArray key_;
    quint64 generation_ = 0;
    mutable std::vector<Passed> passed_;
};
