#pragma once

#include "gst/GuiPost.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class EncodedFeed;
class WhepSession;

// The browsers watching over WebRTC, each known by the resource its offer created
// (/whep/<id>). Lives on the GUI thread: what GStreamer reports comes back here by queued
// calls. At most MaxViewers at once, those still negotiating included.
class WhepSessions : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxViewers = 16;
    // Viewers from one address at most, so that one client cannot hold every slot.
    static constexpr int MaxViewersPerAddress = 8;
    // Descriptors that stay free when a viewer starts: its own, and what the program needs.
    static constexpr int DescriptorsKept = 128;
    static constexpr const char *Path = "/whep";
    // How long candidates are gathered at most before the answer goes.
    static constexpr int AnswerWaitMs = 5000;
    // A viewer that has not connected this long after its answer never will: it is ended.
    // Browsers check their first candidates within a second or two of the answer.
    static constexpr int ConnectWaitMs = 8000;
    // A browser silent this long has gone without a word (closed, crashed, off the network).
    static constexpr int SilenceLimitMs = 10000;
    // How long after a viewer went the memory its threads freed is given back.
    static constexpr int TrimAfterMs = 3000;

    WhepSessions(EncodedFeed &video, EncodedFeed *audio);
    ~WhepSessions() override;

    enum class Refusal { None, BadOffer, Full, Unavailable };
    // Told once, on the GUI thread: the resource and the answer, or empty with the reason.
    using Answered = std::function<void(const QByteArray &resource, const QByteArray &answer, const QString &failure)>;

    // Starts a viewer from the browser's offer. Refusal::None when it is under way (the
    // answer follows through `answered`, and `resource` names it already); otherwise why not,
    // with the reason in `failure`.
    Refusal Offer(const QByteArray &offerSdp, const QString &peer, Answered answered, QString &failure,
                  QByteArray *resource = nullptr);
    // Ends the viewer of that resource; false when there is none.
    bool End(const QByteArray &resource);
    bool Has(const QByteArray &resource) const { return resources_.count(resource) > 0; }
    void EndAll();

    int Count() const { return static_cast<int>(sessions_.size()); }
    void SetStunServer(const QString &server) { stunServer_ = server; }
    void SetAudio(bool on) { audioOn_ = on; }

signals:
    // A viewer's connection ended without a DELETE (failed, closed, or the answer could not be made).
    void ended(const QString &peer, const QString &reason);

private:
    struct Viewer {
        std::unique_ptr<WhepSession> session;
        QString peer;
    };
    void endLater(quint64 id, const QString &reason);
    void endSilentViewers();
    void trimSoon();

    EncodedFeed &video_;
    EncodedFeed *audio_;
    QString stunServer_;
    bool audioOn_ = false;
    std::map<quint64, Viewer> sessions_;
    std::map<QByteArray, quint64> resources_;
    quint64 nextId_ = 1;
    QTimer silenceChecks_;
    QTimer trim_;
    GuiPost post_{this};
};
