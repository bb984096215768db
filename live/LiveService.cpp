#include "live/LiveService.h"

#include "gst/Pipelines.h"
#include "live/AacFeed.h"
#include "live/GoLive.h"
#include "live/H264Feed.h"
#include "live/Microphones.h"
#include "live/OpusFeed.h"
#include "live/RtspServer.h"
#include "server/ComputerAddresses.h"
#include "server/ListeningPort.h"
#include "server/StateReport.h"

namespace {

// How long the end waits for pipelines still stopping on GStreamer's pool.
constexpr std::chrono::seconds StopsWait{5};

} // namespace

LiveService::LiveService(QObject *parent)
    : QObject(parent), video_(std::make_shared<H264Feed>()), opus_(std::make_shared<OpusFeed>()),
      aac_(std::make_shared<AacFeed>()), rtsp_(std::make_unique<RtspServer>(video_, opus_)),
      whep_(std::make_unique<WhepSessions>(*video_, opus_.get())), push_(std::make_unique<GoLive>(*video_, *aac_)),
      rtspPort_(RtspServer::DefaultPort)
{
    opus_->setStoppedListener([post = post_.poster(), this](const QString &reason) {
        post([this, reason] {
            if (!sound_.isEmpty())
                soundUnavailable(QStringLiteral("%1: %2").arg(sound_, reason));
        });
    });
    video_->setStoppedListener([post = post_.poster(), this](const QString &reason) {
        post([this, reason] { emit logged(QStringLiteral("H.264 encoder stopped: ") + reason); });
    });
    aac_->setStoppedListener([post = post_.poster(), this](const QString &reason) {
        post([this, reason] { emit logged(QStringLiteral("Live stream goes on without sound: ") + reason); });
    });
    connect(whep_.get(), &WhepSessions::ended, this, [this](const QString &peer, const QString &reason) {
        emit logged(QStringLiteral("WebRTC viewer from %1 left: %2").arg(peer, reason));
    });
    connect(push_.get(), &GoLive::logged, this, &LiveService::logged);
}

// Consumers first, then the encoders they take from; then the pipelines still on their way
// down, so that nothing of the live side runs once the program goes on to end.
LiveService::~LiveService()
{
    post_.close();
    push_.reset();
    whep_.reset();
    rtsp_.reset();
    microphones_.reset();
    aac_.reset();
    opus_.reset();
    pipelines::WaitForStops(StopsWait);
}

std::shared_ptr<FrameTap> LiveService::FrameInput() const { return video_; }

std::shared_ptr<EncodedFeed> LiveService::PictureFeed() const { return video_; }

std::shared_ptr<EncodedFeed> LiveService::AacSound() const { return aac_; }

void LiveService::Start()
{
    const int port = listening::RtspPort(rtspPort_);
    if (rtspPort_ <= 0 || port < 0 || rtsp_->Listening())
        return;
    QString failure;
    if (!rtsp_->Start(port, failure)) {
        emit logged(QStringLiteral("RTSP server not started on port %1: %2").arg(rtspPort_).arg(failure));
        return;
    }
    emit logged(QStringLiteral("RTSP server started: ") + rtspUrl());
}

QString LiveService::rtspUrl() const
{
    const QStringList addresses = computer::Addresses();
    return RtspUrlAt(addresses.isEmpty() ? QStringLiteral("127.0.0.1") : addresses.first());
}

QString LiveService::RtspUrlAt(const QString &host) const
{
    return QStringLiteral("%1://%2:%3%4")
        .arg(rtsp_->Tls() ? QStringLiteral("rtsps") : QStringLiteral("rtsp"))
        .arg(host)
        .arg(rtsp_->Port())
        .arg(QString::fromLatin1(RtspServer::Path));
}

void LiveService::SetTlsFiles(const QString &certificate, const QString &key)
{
    const bool before = rtsp_->Tls();
    QString failure;
    if (!rtsp_->SetTls(certificate, key, failure)) {
        emit logged(QStringLiteral("RTSP stays without TLS: ") + failure);
        return;
    }
    if (rtsp_->Listening() && rtsp_->Tls() != before)
        emit logged(QStringLiteral("RTSP server now at ") + rtspUrl());
}

void LiveService::Stop()
{
    whep_->EndAll();
    if (!rtsp_->Listening())
        return;
    rtsp_->Stop();
    emit logged(QStringLiteral("RTSP server stopped"));
}

void LiveService::SetViewerCheck(ViewerCheck check)
{
    const bool required = check != nullptr;
    rtsp_->SetViewerCheck(std::move(check));
    if (required)
        rtsp_->CloseClients();
}

WhepSessions::Refusal LiveService::OfferViewer(const QByteArray &offer, const QString &peer,
                                               WhepSessions::Answered answered, QString &failure, QByteArray *resource)
{
    whep_->SetStunServer(stunServer_);
    return whep_->Offer(offer, peer, std::move(answered), failure, resource);
}

bool LiveService::EndViewer(const QByteArray &resource) { return whep_->End(resource); }

bool LiveService::HasViewer(const QByteArray &resource) const { return whep_->Has(resource); }

void LiveService::Describe(state::Facts &facts) const
{
    facts.framesPerSecond = video_->framesPerSecond();
    facts.rtspClients = rtsp_->ClientCount();
    facts.webrtcViewers = whep_->Count();
    facts.encoderRunning = video_->running();
    facts.encoder = video_->encoderName();
    facts.encodersStarted = video_->encodersStarted();
    facts.sound = sound_;
    facts.soundRunning = opus_->running();
    facts.push = push_->PhaseName();
    facts.pushHost = push_->Host();
    facts.pushKbps = push_->SentKbps();
}

void LiveService::FollowMicrophones()
{
    microphones_ = Microphones::start();
    if (microphones_)
        microphones_->setListener([this](const QString &name, bool added) { microphoneChanged(name, added); });
    microphonesListed_ = MicrophoneNames();
    emit microphonesChanged();
}

QStringList LiveService::MicrophoneNames() const { return microphones_ ? microphones_->names() : QStringList(); }

void LiveService::microphoneChanged(const QString &name, bool added)
{
    const bool news = added != microphonesListed_.contains(name); // not of one known already
    microphonesListed_ = MicrophoneNames();
    if (news) {
        emit logged((added ? QStringLiteral("Microphone connected: ") : QStringLiteral("Microphone removed: ")) + name);
        if (!added && name == sound_)
            soundUnavailable(QStringLiteral("%1 was unplugged").arg(name));
    }
    emit microphonesChanged();
}

void LiveService::ChooseSound(const QString &name)
{
    if (name == sound_) {
        emit soundChanged();
        return;
    }
    ++soundChoice_;
    if (name.isEmpty()) {
        soundOff();
        emit logged(QStringLiteral("Sound off"));
        return;
    }
    gstref::Device found = microphones_ ? microphones_->find(name) : gstref::Device();
    if (!found) {
        soundUnavailable(QStringLiteral("%1 is not connected").arg(name));
        return;
    }
    // Chosen while it is tried; the viewers get it once it opens.
    sound_ = name;
    emit soundChanged();
    const quint64 choice = soundChoice_;
    std::shared_ptr<GstDevice> device(found.release(), gst_object_unref);
    OpusFeed::TryOpen(device.get(), [post = post_.poster(), this, choice, device](const QString &failure) {
        post([this, choice, device, failure] { soundTried(choice, device, failure); });
    });
}

void LiveService::soundTried(quint64 choice, const std::shared_ptr<GstDevice> &device, const QString &failure)
{
    if (choice != soundChoice_)
        return; // chosen otherwise since
    if (!failure.isEmpty()) {
        soundUnavailable(QStringLiteral("%1: %2").arg(sound_, failure));
        return;
    }
    opus_->setDevice(device.get());
    aac_->setDevice(device.get());
    rtsp_->SetAudio(true);
    whep_->SetAudio(true);
    emit logged(QStringLiteral("Sound: ") + sound_);
}

void LiveService::soundOff()
{
    sound_.clear();
    rtsp_->SetAudio(false);
    whep_->SetAudio(false);
    opus_->setDevice(nullptr);
    aac_->setDevice(nullptr);
    emit soundChanged();
}

void LiveService::soundUnavailable(const QString &reason)
{
    ++soundChoice_;
    soundOff();
    emit logged(QStringLiteral("Microphone not available: ") + reason);
}
