#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Links that let whoever holds one watch the live page and stream (and the recordings, when
// chosen) without an account, for a while or until taken back. A link's token is 256 bits
// from the system's random source and is known here only by its SHA-256 digest: the settings
// file does not give a link away, and a link cannot be shown again once its window is closed.
struct ShareLink {
    QString id;             // names the link in the window and the log; gives nothing away
    QByteArray tokenDigest; // SHA-256 of the token
    QDateTime made;
    QDateTime expires; // invalid: until revoked
    bool mayWatchRecordings = false;
};

class ShareLinks {
public:
    enum class Lifetime { Hour, Day, Week, UntilRevoked };

    struct Made {
        ShareLink link;
        QByteArray token; // for the address; kept nowhere
    };

    // A new link; the oldest goes when there would be more than Most.
    Made Make(Lifetime lifetime, bool mayWatchRecordings, const QDateTime &now);
    // The link the token is of, while it lasts.
    std::optional<ShareLink> Find(const QByteArray &token, const QDateTime &now) const;
    bool Revoke(const QString &id);
    // The links whose time is up, taken off the list.
    std::vector<ShareLink> TakeExpired(const QDateTime &now);
    std::optional<QDateTime> NextExpiry() const;
    const std::vector<ShareLink> &All() const { return links_; }
    bool IsEmpty() const { return links_.empty(); }

    // One line of text per link, as the settings file keeps them; lines of another form are
    // left out.
    QStringList Lines() const;
    void SetLines(const QStringList &lines);

    static constexpr size_t Most = 100;

private:
    std::vector<ShareLink> links_;
};
