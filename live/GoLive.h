#pragma once

#include "gst/GuiPost.h"
#include "live/PushFailure.h"
#include "live/RtmpTarget.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

class EncodedFeed;
class H264Feed;
class RtmpPush;

// Going live on a streaming server: pushes the camera there, reconnects on its own when the
// server drops it (after 1, 2, 4, ... and at most 60 seconds; from 1 again once it was live
// a while), and stops for good when the server refuses the stream or its certificate is not
// valid. While live the shared encoder runs at the chosen bitrate. Lives on the GUI thread;
// nothing in it waits for the network.
class GoLive : public QObject {
    Q_OBJECT

public:
    enum class Phase { Off, Connecting, Live, Waiting, Stopped };

    GoLive(H264Feed &video, EncodedFeed &audio, QObject *parent = nullptr);
    ~GoLive() override;

    // Starts pushing to the target; false, with the reason logged, when its address or key
    // will not do. A push under way is replaced.
    bool Start(const RtmpTarget &target, int bitrateKbps);
    // Ends the push, if there is one, and logs why.
    void Stop(const QString &reason = QStringLiteral("stopped by the user"));

    Phase phase() const { return phase_; }
    bool Active() const { return phase_ == Phase::Connecting || phase_ == Phase::Live || phase_ == Phase::Waiting; }
    // One line for the window: "Connecting to <host>...", "Live since hh:mm:ss, <n> kbit/s", ...
    QString StateText() const;
    // The phase as a word: "off", "connecting", "live", "waiting" or "stopped".
    QString PhaseName() const;
    QString Host() const { return target_ ? target_->host() : QString(); }
    // Kilobits a second sent over the last seconds; 0 when not live.
    int SentKbps() const { return sentKbps_; }

    static constexpr int DefaultBitrateKbps = 2500;
    static constexpr int LongestWaitSeconds = 60;
    // A stream that stayed up this long starts its waits from the shortest again.
    static constexpr int SettledSeconds = 10;

signals:
    void logged(const QString &line);
    void changed();

private:
    void attempt();
    void ended(quint64 attempt, const QString &reason, PushFailure failure);
    void poll();
    void finish(Phase phase, const QString &reason);
    void setPhase(Phase phase);

    H264Feed &video_;
    EncodedFeed &audio_;
    std::optional<RtmpTarget> target_;
    int bitrateKbps_ = DefaultBitrateKbps;
    std::unique_ptr<RtmpPush> push_;
    quint64 attempts_ = 0;
    Phase phase_ = Phase::Off;
    QString reason_;
    QDateTime liveSince_;
    int waitSeconds_ = 1;
    QDateTime retryAt_;
    QTimer retry_;
    QTimer poll_;
    // Bytes sent at the latest polls, to tell the rate from.
    qint64 lastBytes_ = -1;
    qint64 lastPollMs_ = 0;
    int sentKbps_ = 0;
    GuiPost post_{this};
};
