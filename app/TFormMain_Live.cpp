// Live H.264: the one encoder the capture feeds, and the RTSP server that shares it. Both
// follow the web server's switch: what is shared is shared together.
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "capture/CaptureDevice.h"
#include "live/H264Feed.h"
#include "live/RtspServer.h"
#include "server/ComputerAddresses.h"
#include "server/TFormViewerPassword.h"

namespace {

const QString SectionMain = QStringLiteral("FormMain");
const QString KeyRtspPort = QStringLiteral("RtspPort");

} // namespace

void TFormMain::createLive()
{
    LiveVideo = std::make_shared<H264Feed>();
    Rtsp = std::make_unique<RtspServer>(*LiveVideo, nullptr);
}

void TFormMain::startLive()
{
    if (RtspPort <= 0 || Rtsp->Listening())
        return;
    QString failure;
    if (!Rtsp->Start(RtspPort, failure)) {
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
    if (!Rtsp || !Rtsp->Listening())
        return;
    Rtsp->Stop();
    AddToLog(QStringLiteral("RTSP server stopped"));
}

void TFormMain::applyLivePassword()
{
    if (Rtsp)
        Rtsp->SetCredentials(FormViewerPassword->User(), FormViewerPassword->Password());
}

void TFormMain::loadLiveSettings(const IniFile &ini)
{
    RtspPort = ini.ReadInteger(SectionMain, KeyRtspPort, RtspServer::DefaultPort);
}

// The key is written once it differs from the default or is in the file already.
void TFormMain::saveLiveSettings(IniFile &ini) const
{
    if (RtspPort != RtspServer::DefaultPort || ini.ReadInteger(SectionMain, KeyRtspPort, -1) != -1)
        ini.WriteInteger(SectionMain, KeyRtspPort, RtspPort);
}
