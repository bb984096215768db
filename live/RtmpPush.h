#pragma once

#include "live/FeedConsumer.h"
#include "live/PushFailure.h"
#include "live/StraySockets.h"

#include <QString>

#include <functional>
#include <memory>

class EncodedFeed;

// One connection to a streaming server: a small pipeline that takes the shared encoder's
// H.264 and the AAC feed's sound into FLV and pushes it over RTMP (or RTMPS). It connects
// on GStreamer's threads; the caller never waits for the network.
class RtmpPush : public FeedConsumer {
public:
    using Failure = PushFailure;
    // Called once, on a GStreamer thread, when the push ends on its own; never once the push
    // is destroyed, which waits for a call under way (the call must not wait for the caller).
    // The reason is the server's or the network's own words.
    using Ended = std::function<void(const QString &reason, Failure failure)>;

    RtmpPush(EncodedFeed &video, EncodedFeed &audio);
    ~RtmpPush() override;

    // Starts connecting to the location ("rtmp://host/app/stream"); false with the reason
    // when the pipeline cannot be made or the encoder does not start.
    bool Start(const QString &location, Ended ended, QString &failure);

    // Bytes sent to the server since it took the stream; -1 until it has.
    qint64 BytesSent() const;

    // How long the server has to answer, and to take what is sent, before the push gives up.
    static constexpr int TimeoutSeconds = 5;

    struct State;

private:
    void connectCallbacks();

    gstref::Element sink_;
    std::shared_ptr<State> state_;
    // The server's port, and the connections to it there were before this push.
    quint16 port_ = 0;
    straysockets::Inodes before_;
};
