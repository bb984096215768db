// Live H.264: the one encoder the capture feeds, and the RTSP server that shares it. Both
// follow the web server's switch: what is shared is shared together.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "capture/CaptureDevice.h"
#include "live/GoLive.h"
#include "live/H264Feed.h"
#include "live/OpusFeed.h"
#include "live/RtspServer.h"
#include "live/WhepSessions.h"
#include "server/ComputerAddresses.h"
#include "server/ListeningPort.h"
#include "server/MjpegStream.h"
#include "server/StateReport.h"

#include "server/TFormViewerPassword.h"
#include <chrono>

namespace {

// An address that asked for a picture this recently still watches.
constexpr qint64 PictureViewerWindowMs = 10000;

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const QString SectionMain = QStringLiteral("FormMain");
const QString KeyRtspPort = QStringLiteral("RtspPort");
const QString KeyStunServer = QStringLiteral("StunServer");
const QString KeySound = QStringLiteral("Sound");

} // namespace

void TFormMain::createLive()
{
    LiveVideo = std::make_shared<H264Feed>();
    LiveSound = std::make_shared<OpusFeed>();
    Rtsp = std::make_unique<RtspServer>(*LiveVideo, LiveSound.get());
    Whep = std::make_unique<WhepSessions>(*LiveVideo, LiveSound.get());
    createSound();
    connect(Whep.get(), &WhepSessions::ended, this, [this](const QString &peer, const QString &reason) {
        AddToLog(QStringLiteral("WebRTC viewer from %1 left: %2").arg(peer, reason));
    });
}

void TFormMain::startLive()
{
    const int port = listening::RtspPort(RtspPort);
    if (RtspPort <= 0 || port < 0 || Rtsp->Listening())
        return;
    QString failure;
    if (!Rtsp->Start(port, failure)) {
        AddToLog(QStringLiteral("RTSP server not started on port %1: %2").arg(RtspPort).arg(failure));
        return;
    }
    const QStringList addresses = computer::Addresses();
    AddToLog(QStringLiteral("RTSP server started: rtsp://%1:%2%3")
                 .arg(addresses.isEmpty() ? QStringLiteral("127.0.0.1") : addresses.first())
                 .arg(Rtsp->Port())
                 .arg(QString::fromLatin1(RtspServer::Path)));
}

void TFormMain::stopLive()
{
    if (Whep)
        Whep->EndAll();
    if (!Rtsp || !Rtsp->Listening())
        return;
    Rtsp->Stop();
    AddToLog(QStringLiteral("RTSP server stopped"));
}

// RTSP clients let in before are sent away too: they come back and are asked.
void TFormMain::applyLivePassword()
{
    if (!Rtsp)
        return;
    Rtsp->SetCredentials(FormViewerPassword->User(), FormViewerPassword->Password());
    if (!FormViewerPassword->Password().isEmpty())
        Rtsp->CloseClients();
}

void TFormMain::loadLiveSettings(const IniFile &ini)
{
    RtspPort = ini.ReadInteger(SectionMain, KeyRtspPort, RtspServer::DefaultPort);
    StunServer = ini.ReadString(SectionMain, KeyStunServer, QString());
    chooseSound(ini.ReadString(SectionMain, KeySound, QString()));
}

// The key is written once it differs from the default or is in the file already.
void TFormMain::saveLiveSettings(IniFile &ini) const
{
    if (RtspPort != RtspServer::DefaultPort || ini.ReadInteger(SectionMain, KeyRtspPort, -1) != -1)
        ini.WriteInteger(SectionMain, KeyRtspPort, RtspPort);
    if (!StunServer.isEmpty() || ini.ReadString(SectionMain, KeyStunServer, QStringLiteral("-")) != QStringLiteral("-"))
        ini.WriteString(SectionMain, KeyStunServer, StunServer);
    if (!SoundName.isEmpty() || ini.ReadString(SectionMain, KeySound, QStringLiteral("-")) != QStringLiteral("-"))
        ini.WriteString(SectionMain, KeySound, SoundName);
}

void TFormMain::notePictureViewer(const QString &peer)
{
    pictureViewers_.insert(peer, steadyMs());
    if (pictureViewers_.size() > 1000)
        pictureViewerCount(); // drops those that stopped asking
}

int TFormMain::pictureViewerCount()
{
    const qint64 now = steadyMs();
    pictureViewers_.removeIf([now](const auto &entry) { return now - entry.value() > PictureViewerWindowMs; });
    return static_cast<int>(pictureViewers_.size());
}

void TFormMain::sendState(const Reply &reply)
{
    state::Facts facts;
    if (Capture && Capture->CurrentDriver() >= 0 && !Capture->Connecting()) {
        for (const DriverEntry &driver : Capture->DriverNames()) {
            if (driver.index == Capture->CurrentDriver())
                facts.camera = driver.description;
        }
    }
    const CapturedFrame frame = Capture ? Capture->SaveFrameToMemory() : CapturedFrame{};
    if (frame.ready()) {
        facts.width = frame.image.width();
        facts.height = frame.image.height();
    }
    facts.framesPerSecond = LiveVideo->framesPerSecond();
    facts.pictureViewers = pictureViewerCount();
    facts.mjpegViewers = Stream->ViewerCount();
    facts.rtspClients = Rtsp->ClientCount();
    facts.webrtcViewers = Whep->Count();
    facts.encoderRunning = LiveVideo->running();
    facts.encoder = LiveVideo->encoderName();
    facts.encodersStarted = LiveVideo->encodersStarted();
    facts.sound = SoundName;
    facts.soundRunning = LiveSound->running();
    facts.push = LivePush->PhaseName();
    facts.pushHost = LivePush->Host();
    facts.pushKbps = LivePush->SentKbps();
    QByteArray json = state::Json(facts);
    recordSent(json.size());
    if (!sendBody(reply, bufferOf(json), QByteArrayLiteral("application/json"), PictureConnection::Close))
        AddToLog(QStringLiteral("Failed to send state to ") + peerOf(reply));
}
