// The live side (H.264, sound, RTSP, WebRTC, going live) is a service of its own; the window
// makes it, follows the web server's switch with it, keeps its settings and asks it for /state.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "capture/CaptureDevice.h"
#include "live/LiveService.h"
#include "live/RtspServer.h"
#include "recording/Recorder.h"
#include "server/MjpegStream.h"
#include "server/StateReport.h"

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
const QString KeyAllowedOrigins = QStringLiteral("AllowedOrigins");

// A key is written once it differs from its default or is in the file already.
void writeUnlessDefault(IniFile &ini, const QString &key, const QString &value)
{
    if (!value.isEmpty() || ini.ReadString(SectionMain, key, QStringLiteral("-")) != QStringLiteral("-"))
        ini.WriteString(SectionMain, key, value);
}

} // namespace

void TFormMain::createLive()
{
    Live = std::make_unique<LiveService>();
    connect(Live.get(), &LiveService::logged, this, [this](const QString &line) { AddToLog(line); });
    connect(Live.get(), &LiveService::microphonesChanged, this, [this] { syncSoundMenu(); });
    connect(Live.get(), &LiveService::soundChanged, this, [this] { tickSound(); });
    syncSoundMenu();
}

void TFormMain::loadLiveSettings(const IniFile &ini)
{
    Live->SetRtspPort(ini.ReadInteger(SectionMain, KeyRtspPort, RtspServer::DefaultPort));
    Live->SetStunServer(ini.ReadString(SectionMain, KeyStunServer, QString()));
    crossOrigin_.SetAllowed(ini.ReadString(SectionMain, KeyAllowedOrigins, QString()).split(u' ', Qt::SkipEmptyParts));
    Live->ChooseSound(ini.ReadString(SectionMain, KeySound, QString()));
}

void TFormMain::saveLiveSettings(IniFile &ini) const
{
    if (Live->RtspPort() != RtspServer::DefaultPort || ini.ReadInteger(SectionMain, KeyRtspPort, -1) != -1)
        ini.WriteInteger(SectionMain, KeyRtspPort, Live->RtspPort());
    writeUnlessDefault(ini, KeyStunServer, Live->StunServer());
    writeUnlessDefault(ini, KeyAllowedOrigins, crossOrigin_.Allowed().join(u' '));
    writeUnlessDefault(ini, KeySound, Live->Sound());
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
    QByteArray json = state::Json(currentFacts());
    recordSent(json.size());
    if (!reply.SendBody(Reply::BufferOf(json), QByteArrayLiteral("application/json"), PictureConnection::Close))
        AddToLog(QStringLiteral("Failed to send state to ") + reply.Peer());
}

state::Facts TFormMain::currentFacts()
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
    facts.pictureViewers = pictureViewerCount();
    facts.mjpegViewers = Stream->ViewerCount();
    Live->Describe(facts);
    Recording->Describe(facts);
    return facts;
}
