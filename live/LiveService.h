#pragma once

#include "gst/GuiPost.h"
#include "live/WhepSessions.h"

#include <QObject>
#include <QStringList>

#include <memory>

class AacFeed;
class EncodedFeed;
class FrameTap;
class GoLive;
class H264Feed;
class Microphones;
class OpusFeed;
class RtspServer;
namespace state {
struct Facts;
}
typedef struct _GstDevice GstDevice;

// The live side of the program, without a widget: the one H.264 encoder the capture feeds,
// the microphone's Opus and AAC encoders, and everyone who takes from them: the RTSP server,
// the WebRTC viewers and the push to a streaming server. It also follows the microphones and
// keeps the chosen one. Lives on the GUI thread; whatever GStreamer reports comes back here
// through one GuiPost. Its end stops every consumer before the encoders they take from, and
// waits for the pipelines still stopping on GStreamer's pool.
class LiveService : public QObject {
    Q_OBJECT

public:
    explicit LiveService(QObject *parent = nullptr);
    ~LiveService() override;

    // What the capture hands every frame to: the H.264 encoder's input.
    std::shared_ptr<FrameTap> FrameInput() const;
    // The feeds a consumer of its own (a recording) takes from: the picture as H.264, and the
    // chosen microphone's sound as AAC (silence while none is chosen).
    std::shared_ptr<EncodedFeed> PictureFeed() const;
    std::shared_ptr<EncodedFeed> AacSound() const;

    // RTSP and WebRTC follow the web server's switch: what is shared is shared together.
    void Start();
    void Stop();
    // The RTSP server's port; 0 keeps it off. Takes effect at the next Start.
    void SetRtspPort(int port) { rtspPort_ = port; }
    int RtspPort() const { return rtspPort_; }
    // The live stream's RTSP address as reached at that host.
    QString RtspUrlAt(const QString &host) const;
    // The STUN server WebRTC viewers use; empty for none.
    void SetStunServer(const QString &server) { stunServer_ = server; }
    QString StunServer() const { return stunServer_; }
    // Whether a user name and password are the viewer's, asked on RTSP's thread; none when
    // everyone may watch. RTSP clients let in before are sent away once there is one.
    using ViewerCheck = std::function<bool(const QByteArray &user, const QByteArray &password, const QString &address)>;
    void SetViewerCheck(ViewerCheck check);
    // HTTPS's certificate and key for RTSP over TLS (rtsps://), or empty paths for plain RTSP.
    void SetTlsFiles(const QString &certificate, const QString &key);

    // The microphones: followed from now on (GStreamer is there by now), their names in the
    // system's order, and the one whose sound goes with the picture ("" for none).
    void FollowMicrophones();
    QStringList MicrophoneNames() const;
    QString Sound() const { return sound_; }
    // Chooses the microphone by name ("" for none); it is opened on GStreamer's threads and
    // taken by the viewers that come after once it opened.
    void ChooseSound(const QString &name);

    // A WebRTC viewer from the browser's offer, and the end of one by its resource.
    WhepSessions::Refusal OfferViewer(const QByteArray &offer, const QString &peer, WhepSessions::Answered answered,
                                      QString &failure, QByteArray *resource = nullptr);
    bool EndViewer(const QByteArray &resource);
    bool HasViewer(const QByteArray &resource) const;

    // Going live on a streaming server.
    GoLive &Push() const { return *push_; }

    // What /state tells of the live side.
    void Describe(state::Facts &facts) const;

signals:
    // A line for the event log.
    void logged(const QString &line);
    // A microphone was plugged in or removed.
    void microphonesChanged();
    // The chosen microphone changed (chosen, given up, or unplugged).
    void soundChanged();

private:
    QString rtspUrl() const;
    void microphoneChanged(const QString &name, bool added);
    void soundTried(quint64 choice, const std::shared_ptr<GstDevice> &device, const QString &failure);
    void soundOff();
    void soundUnavailable(const QString &reason);

    GuiPost post_{this};
    std::shared_ptr<H264Feed> video_;
    std::shared_ptr<OpusFeed> opus_;
    std::shared_ptr<AacFeed> aac_;
    std::unique_ptr<Microphones> microphones_;
    QStringList microphonesListed_;
    std::unique_ptr<RtspServer> rtsp_;
    std::unique_ptr<WhepSessions> whep_;
    std::unique_ptr<GoLive> push_;
    int rtspPort_;
    QString stunServer_;
    QString sound_;
    // Counts choices, so that the late answer of an older one is known.
    quint64 soundChoice_ = 0;
};
