#include "live/WhepSessions.h"

#include "live/WhepOffer.h"
#include "live/WhepSession.h"
#include "net/PosixSocket.h"

#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <malloc.h>
#include <vector>

namespace {

// The resource's last part: the viewer's number and a random tail, so that one viewer
// cannot end another by guessing.
QByteArray resourceOf(quint64 id, quint64 tail)
{
    return QByteArray(WhepSessions::Path) + '/' + QByteArray::number(id) + '-' + QByteArray::number(tail, 16);
}

} // namespace

WhepSessions::WhepSessions(EncodedFeed &video, EncodedFeed *audio) : video_(video), audio_(audio)
{
    silenceChecks_.setInterval(SilenceLimitMs / 4);
    connect(&silenceChecks_, &QTimer::timeout, this, &WhepSessions::endSilentViewers);
    trim_.setSingleShot(true);
    trim_.setInterval(TrimAfterMs);
    connect(&trim_, &QTimer::timeout, this, [] { ::malloc_trim(0); });
}

// The program ends: its viewers' connections are closed before it goes, not left half done.
WhepSessions::~WhepSessions()
{
    for (auto &[id, viewer] : sessions_)
        viewer.session->StopNow();
}

WhepSessions::Refusal WhepSessions::Offer(const QByteArray &offerSdp, const QString &peer, Answered answered,
                                          QString &failure, QByteArray *resourceMade)
{
    if (Count() >= MaxViewers) {
        failure = QStringLiteral("%1 WebRTC viewers watch already").arg(MaxViewers);
        return Refusal::Full;
    }
    // A viewer takes a few dozen descriptors (its sockets, its threads' wake-ups): none is
    // started that would leave the program without the ones it needs itself.
    if (PosixSocket::OpenDescriptors() + DescriptorsKept > PosixSocket::DescriptorLimit()) {
        failure = QStringLiteral("too many connections are open");
        return Refusal::Full;
    }
    const auto fromPeer = std::count_if(sessions_.begin(), sessions_.end(),
                                        [&peer](const auto &entry) { return entry.second.peer == peer; });
    if (fromPeer >= MaxViewersPerAddress) {
        failure = QStringLiteral("%1 WebRTC viewers from %2 watch already").arg(MaxViewersPerAddress).arg(peer);
        return Refusal::Full;
    }
    const WhepOffer offer = WhepOffer::Read(offerSdp, failure);
    if (offer.videoPayload < 0)
        return Refusal::BadOffer;

    const quint64 id = nextId_++;
    const QByteArray resource = resourceOf(id, QRandomGenerator::system()->generate64());
    auto session = std::make_unique<WhepSession>(video_, audioOn_ ? audio_ : nullptr);
    auto onAnswer = [post = post_.poster(), this, id, resource, answered](const QByteArray &answer,
                                                                          const QString &why) {
        post([this, id, resource, answered, answer, why] {
            if (!sessions_.count(id))
                return;
            answered(answer.isEmpty() ? QByteArray() : resource, answer, why);
            if (answer.isEmpty())
                End(resource);
        });
    };
    auto onEnd = [post = post_.poster(), this, id](const QString &why) {
        post([this, id, why] { endLater(id, why); });
    };
    if (!session->Start(offer, offerSdp, stunServer_, onAnswer, onEnd, failure))
        return Refusal::Unavailable;
    sessions_[id] = Viewer{std::move(session), peer};
    silenceChecks_.start();
    resources_[resource] = id;
    if (resourceMade)
        *resourceMade = resource;
    // A STUN server that does not answer holds gathering up: the answer goes with what is there.
    QTimer::singleShot(AnswerWaitMs, this, [this, id] {
        if (const auto found = sessions_.find(id); found != sessions_.end())
            found->second.session->AnswerNow();
    });
    QTimer::singleShot(AnswerWaitMs + ConnectWaitMs, this, [this, id] {
        if (const auto found = sessions_.find(id); found != sessions_.end() && !found->second.session->Connected())
            endLater(id, QStringLiteral("it never connected"));
    });
    return Refusal::None;
}

bool WhepSessions::End(const QByteArray &resource)
{
    const auto found = resources_.find(resource);
    if (found == resources_.end())
        return false;
    sessions_.erase(found->second);
    resources_.erase(found);
    trimSoon();
    return true;
}

void WhepSessions::EndAll()
{
    sessions_.clear();
    resources_.clear();
    trimSoon();
}

// A viewer's pipeline runs about seven threads, and glibc gives threads arenas of their own:
// what they freed stays with the process, and weeks of viewers coming and going would grow
// it without bound. A few seconds after a viewer went, the free memory goes back (at most that
// often while viewers keep coming and going).
void WhepSessions::trimSoon()
{
    if (!trim_.isActive())
        trim_.start();
}

void WhepSessions::endSilentViewers()
{
    std::vector<quint64> silent;
    for (const auto &[id, viewer] : sessions_) {
        if (viewer.session->SilentForMs() > SilenceLimitMs)
            silent.push_back(id);
    }
    for (const quint64 id : silent)
        endLater(id, QStringLiteral("the browser went silent"));
    if (sessions_.empty())
        silenceChecks_.stop();
}

void WhepSessions::endLater(quint64 id, const QString &reason)
{
    const auto found = sessions_.find(id);
    if (found == sessions_.end())
        return;
    const QString peer = found->second.peer;
    sessions_.erase(found);
    std::erase_if(resources_, [id](const auto &entry) { return entry.second == id; });
    trimSoon();
    emit ended(peer, reason);
}
