#include "live/GoLive.h"

#include "live/H264Feed.h"
#include "live/RtmpPush.h"

#include <QLocale>

#include <algorithm>

namespace {

constexpr int PollMs = 250;

} // namespace

GoLive::GoLive(H264Feed &video, EncodedFeed &audio, QObject *parent) : QObject(parent), video_(video), audio_(audio)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &GoLive::attempt);
    connect(&poll_, &QTimer::timeout, this, &GoLive::poll);
}

GoLive::~GoLive() { push_.reset(); }

bool GoLive::Start(const RtmpTarget &target, int bitrateKbps)
{
    push_.reset();
    retry_.stop();
    if (!target.problem().isEmpty()) {
        emit logged(QStringLiteral("Cannot go live: ") + target.problem());
        finish(Phase::Stopped, target.problem());
        return false;
    }
    target_ = target;
    bitrateKbps_ = bitrateKbps;
    video_.setBitrate(bitrateKbps);
    waitSeconds_ = 1;
    attempt();
    return true;
}

void GoLive::Stop(const QString &reason)
{
    if (!Active())
        return;
    emit logged(QStringLiteral("Live stream stopped: ") + reason);
    finish(Phase::Stopped, reason);
}

void GoLive::attempt()
{
    const quint64 id = ++attempts_;
    push_ = std::make_unique<RtmpPush>(video_, audio_);
    lastBytes_ = -1;
    sentKbps_ = 0;
    setPhase(Phase::Connecting);
    poll_.start(PollMs);
    QString problem;
    const bool started = push_->Start(
        target_->location(),
        [post = post_.poster(), this, id](const QString &reason, PushFailure failure) {
            post([this, id, reason, failure] { ended(id, reason, failure); });
        },
        problem);
    if (!started)
        Stop(problem);
}

void GoLive::ended(quint64 attempt, const QString &words, PushFailure failure)
{
    if (attempt != attempts_ || !push_)
        return;
    push_.reset();
    const QString reason = target_->withoutKey(words);
    const QString host = target_->host();
    if (failure == PushFailure::Refused) {
        Stop(QStringLiteral("%1 refused the stream (%2)").arg(host, reason));
        return;
    }
    if (failure == PushFailure::Certificate) {
        Stop(QStringLiteral("%1 has no valid certificate (%2)").arg(host, reason));
        return;
    }
    if (phase_ == Phase::Live && liveSince_.secsTo(QDateTime::currentDateTime()) >= SettledSeconds)
        waitSeconds_ = 1;
    emit logged(QStringLiteral("Live stream to %1: %2; trying again in %3 s").arg(host, reason).arg(waitSeconds_));
    reason_ = reason;
    retryAt_ = QDateTime::currentDateTime().addSecs(waitSeconds_);
    retry_.start(waitSeconds_ * 1000);
    waitSeconds_ = std::min(waitSeconds_ * 2, LongestWaitSeconds);
    setPhase(Phase::Waiting);
}

void GoLive::poll()
{
    if (phase_ == Phase::Waiting) {
        emit changed(); // the countdown
        return;
    }
    if (!push_)
        return;
    const qint64 bytes = push_->BytesSent();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (phase_ == Phase::Connecting && bytes >= 0) {
        liveSince_ = QDateTime::currentDateTime();
        lastBytes_ = bytes;
        lastPollMs_ = now;
        emit logged(QStringLiteral("Live on ") + target_->host());
        setPhase(Phase::Live);
        return;
    }
    if (phase_ == Phase::Live && bytes >= lastBytes_ && now - lastPollMs_ >= 2000) {
        sentKbps_ = static_cast<int>((bytes - lastBytes_) * 8 / (now - lastPollMs_));
        lastBytes_ = bytes;
        lastPollMs_ = now;
        emit changed();
    }
}

void GoLive::finish(Phase phase, const QString &reason)
{
    push_.reset();
    retry_.stop();
    poll_.stop();
    sentKbps_ = 0;
    reason_ = reason;
    video_.setBitrate(H264Feed::DefaultBitrateKbps);
    setPhase(phase);
}

void GoLive::setPhase(Phase phase)
{
    phase_ = phase;
    emit changed();
}

QString GoLive::PhaseName() const
{
    constexpr const char *Names[] = {"off", "connecting", "live", "waiting", "stopped"};
    return QString::fromLatin1(Names[static_cast<int>(phase_)]);
}

QString GoLive::StateText() const
{
    const QString host = target_ ? target_->host() : QString();
    switch (phase_) {
    case Phase::Off:
        return QStringLiteral("Not live");
    case Phase::Connecting:
        return QStringLiteral("Connecting to %1...").arg(host);
    case Phase::Live:
        return QStringLiteral("Live since %1, %2 kbit/s")
            .arg(QLocale::c().toString(liveSince_.time(), QStringLiteral("HH:mm:ss")))
            .arg(sentKbps_);
    case Phase::Waiting:
        return QStringLiteral("Reconnecting in %1 s (%2)")
            .arg(std::max<qint64>(1, QDateTime::currentDateTime().secsTo(retryAt_) + 1))
            .arg(reason_);
    case Phase::Stopped:
        return QStringLiteral("Stopped: ") + reason_;
    }
    return {};
}
