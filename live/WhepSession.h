#pragma once

#include "live/FeedConsumer.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class EncodedFeed;
struct WhepOffer;

// One browser watching over WebRTC: a small pipeline of its own that takes the shared
// encoder's H.264 (and the microphone's Opus, when the browser takes sound) into a
// webrtcbin, negotiated from the browser's offer. The answer carries every candidate: it is
// given once gathering is complete, so the browser needs nothing more from us.
//
// The callbacks run on GStreamer's threads, at most once each, and never after the session
// is destroyed.
class WhepSession : public FeedConsumer {
public:
    // The answer's SDP, or empty with the reason it could not be made.
    using Answered = std::function<void(const QByteArray &answer, const QString &failure)>;
    // The connection failed or was closed by the browser.
    using Ended = std::function<void(const QString &reason)>;

    WhepSession(EncodedFeed &video, EncodedFeed *audio);
    ~WhepSession() override;

    // Starts negotiating; false with the reason when the pipeline cannot be made or the
    // encoder does not start.
    bool Start(const WhepOffer &offer, const QByteArray &offerSdp, const QString &stunServer, Answered answered,
               Ended ended, QString &failure);

    // Takes the pipeline down here and now, for the program's end (the destructor leaves it
    // to GStreamer's threads, so that no caller waits).
    void StopNow();
    // Whether the browser has reached us (ICE connected) at least once.
    bool Connected() const;
    // How long the connected browser has sent nothing (browsers report several times a second
    // while they watch); 0 before it connected.
    qint64 SilentForMs() const;
    // Gives the answer now, with the candidates gathered so far, if it has not gone yet.
    void AnswerNow();

    struct State;

private:
    void connectCallbacks(GstElement *webrtc);
    // Cuts every callback into the session: they find it closed from now on.
    void close();

    const bool audioOffered_;
    std::shared_ptr<State> state_;
};
