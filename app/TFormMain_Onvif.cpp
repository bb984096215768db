// Recorders: with "Let Recorders Find This Camera" ticked and the server on, the camera
// answers WS-Discovery probes and serves the ONVIF device and media services on the web
// server's port, so a network video recorder finds and records it on its own. The services
// ask for a viewer's name and password as the rest of the server does; only the time of day
// is told to anyone, as the standard wants.
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/AppInfo.h"
#include "base/seams/Seams.h"
#include "base/settings/IniFile.h"
#include "live/LiveService.h"
#include "net/TServerSocket.h"
#include "onvif/OnvifAnswers.h"
#include "recording/MotionWatch.h"
#include "server/BasicCredentials.h"
#include "server/ComputerAddresses.h"
#include "server/HttpFraming.h"
#include "server/TFormViewers.h"

#include <QUrl>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

const QString SectionMain = u"FormMain"_s;
const QString KeyOnvif = u"Onvif"_s;
const QString KeyUuid = u"OnvifUuid"_s;

QByteArray soapResponse(const QByteArray &status, const QByteArray &envelope)
{
    return http::StatusResponse(status, {}, "application/soap+xml; charset=utf-8", envelope);
}

// The path a request names: its first line's second word.
QString pathOf(const QByteArray &text)
{
    const QList<QByteArray> words = text.left(text.indexOf('\n')).simplified().split(' ');
    return words.size() > 1 ? QString::fromLatin1(words.at(1)) : QString();
}

QByteArray bodyOf(const QByteArray &text)
{
    const qsizetype headEnd = http::HeadEnd(text);
    return headEnd >= 0 ? text.mid(headEnd) : QByteArray();
}

} // namespace

void TFormMain::createOnvif()
{
    discovery_ = std::make_unique<WsDiscovery>();
    discovery_->Describe = [this] { return onvifEndpoint(); };
    onvifMotion_ = std::make_shared<MotionWatch>(
        [post = guiPost_.poster(), this](bool moving) {
            post([this, moving] { pullPoints_.SetMotion(moving, seams::Now()); });
        },
        [](int) {});
    ConnectGuarded(Onvif1, &QAction::triggered, this, &TFormMain::Onvif1Click);
}

// Off unless chosen: a camera in someone's home should not announce itself to every device on
// the network before its owner asks for that.
void TFormMain::loadOnvifSettings(const IniFile &ini)
{
    Onvif1->setChecked(ini.ReadBool(SectionMain, KeyOnvif, false));
    onvifUuid_ = ini.ReadString(SectionMain, KeyUuid, QString());
    if (QUuid::fromString(onvifUuid_).isNull())
        onvifUuid_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
    followOnvif();
}

// Until recorders were let in once, the file stays as it has always been.
void TFormMain::saveOnvifSettings(IniFile &ini) const
{
    if (!Onvif1->isChecked() && ini.ReadString(SectionMain, KeyUuid, QString()).isEmpty())
        return;
    ini.WriteBool(SectionMain, KeyOnvif, Onvif1->isChecked());
    ini.WriteString(SectionMain, KeyUuid, onvifUuid_);
}

void TFormMain::Onvif1Click()
{
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveOnvifSettings(ini);
    ini.Save();
    followOnvif();
}

// Discovery runs while the server does and recorders may find the camera.
void TFormMain::followOnvif()
{
    if (!discovery_)
        return; // on the way out
    const bool wanted = Onvif1->isChecked() && ServerSocket->Active();
    onvifMotion_->setOn(wanted);
    if (wanted == discovery_->Running())
        return;
    if (!wanted) {
        pullPoints_.Clear();
        discovery_->Stop();
        AddToLog(u"Recorders can no longer find this camera (ONVIF off)"_s);
        return;
    }
    QString failure;
    if (discovery_->Start(WsDiscovery::Port, failure))
        AddToLog(u"Recorders can find this camera (ONVIF): %1/onvif/device_service"_s.arg(
            onvifEndpoint().deviceServices.value(0).section(u"/onvif"_s, 0, 0)));
    else
        AddToLog(u"Recorders cannot find this camera: discovery on UDP port %1 failed (%2)"_s.arg(WsDiscovery::Port)
                     .arg(failure));
}

WsDiscovery::Endpoint TFormMain::onvifEndpoint()
{
    WsDiscovery::Endpoint endpoint;
    endpoint.address = u"urn:uuid:"_s + onvifUuid_;
    for (const QString &address : computer::Addresses())
        endpoint.deviceServices << u"%1://%2:%3/onvif/device_service"_s.arg(HttpsOn() ? u"https" : u"http", address)
                                       .arg(ServerSocket->Port());
    endpoint.scopes = onvifanswers::Scopes(onvifFacts({}, HttpsOn()));
    return endpoint;
}

OnvifFacts TFormMain::onvifFacts(const QByteArray &text, bool encrypted)
{
    const state::Facts now = currentFacts();
    OnvifFacts facts;
    const QStringList addresses = computer::Addresses();
    const QString fallback = u"%1:%2"_s.arg(addresses.value(0, u"127.0.0.1"_s)).arg(ServerSocket->Port());
    const QString host = QString::fromLatin1(http::HeaderValue(text, "Host").value_or(fallback.toLatin1())).trimmed();
    facts.serviceBase = (encrypted ? u"https://"_s : u"http://"_s) + host;
    facts.streamUri = Live->RtspUrlAt(QUrl(u"http://"_s + host).host());
    facts.snapshotUri = facts.serviceBase + u"/pic.jpg"_s;
    facts.hostName = computer::HostName().value_or(u"vantrel"_s);
    facts.name = u"Vantrel on "_s + facts.hostName;
    facts.hardware = now.camera.isEmpty() ? u"Camera"_s : now.camera;
    facts.uuid = u"urn:uuid:"_s + onvifUuid_;
    facts.version = AppVersion.section(u' ', -1);
    facts.addresses = addresses;
    if (now.width > 0) {
        facts.width = now.width;
        facts.height = now.height;
    }
    if (now.framesPerSecond >= 1)
        facts.framesPerSecond = qRound(now.framesPerSecond);
    facts.audioEncoding = now.sound.isEmpty() ? QString() : u"OPUS"_s;
    facts.now = seams::Now();
    return facts;
}

// With viewers set, every operation but the time of day needs a viewer's name and password:
// a password digest for a viewer recorders may log in as, the password as text, or HTTP Basic.
void TFormMain::admitOnvif(TCustomWinSocket *socket, const QByteArray &text)
{
    const Reply reply{socket, true};
    if (!Onvif1->isChecked()) {
        sendWhole(reply, http::TextResponse("404 Not Found", u"Recorders are not let in (ONVIF is off)."_s));
        return;
    }
    QString problem;
    const std::optional<SoapRequest> request = ParseSoapRequest(bodyOf(text), problem);
    if (!request) {
        // A client that expects to be asked to log in sends no body at first.
        if (viewerAccess_->Required() && !http::HeaderValue(text, "Authorization"))
            askRecorderToLogIn(reply, false, u"This camera asks for a viewer's name and password"_s);
        else
            sendWhole(reply,
                      soapResponse("400 Bad Request", onvifanswers::Fault(u"Sender"_s, u"ter:WellFormed"_s, problem)));
        return;
    }
    if (!viewerAccess_->Required() || onvifanswers::IsOpen(request->operation)) {
        serveRequest(socket, text, {});
        return;
    }
    const QString peer = socket->PeerAddress();
    const QDateTime now = seams::Now();
    if (lockout_->Locked(peer, now)) {
        refuseLockedOut(socket, text);
        return;
    }
    QString refusal = u"This camera asks for a viewer's name and password"_s;
    const OnvifLogin login = onvifLogin(*request, text, peer, refusal);
    if (login == OnvifLogin::Admitted) {
        serveRequest(socket, text, {});
        return;
    }
    if (login == OnvifLogin::Wrong && lockout_->Failed(peer, now))
        lockoutStarted(peer);
    if (login != OnvifLogin::Missing && login != OnvifLogin::Stale && refusalLog_.Allows(peer, now))
        AddToLog(u"Refused a recorder's request from %1: %2"_s.arg(peer, refusal));
    // A digest answer that was wrong or too old gets a new challenge, as one without any login.
    const bool digest = http::HeaderValue(text, "Authorization").value_or(QByteArray()).trimmed().startsWith("Digest");
    if (login == OnvifLogin::Missing || login == OnvifLogin::Stale || digest) {
        askRecorderToLogIn(reply, login == OnvifLogin::Stale, refusal);
        return;
    }
    sendWhole(reply,
              soapResponse("400 Bad Request", onvifanswers::Fault(u"Sender"_s, u"ter:NotAuthorized"_s, refusal)));
}

// 401 with HTTP Digest challenges while some viewer may be logged in as by recorders (Digest
// needs the password itself), and Basic for the others.
void TFormMain::askRecorderToLogIn(const Reply &reply, bool stale, const QString &refusal)
{
    const auto &accounts = FormViewers->Accounts();
    const bool recorders = std::any_of(accounts.begin(), accounts.end(),
                                       [this](const ViewerAccount &account) { return recorderPassword(account.name); });
    const QByteArray challenges = (recorders ? httpDigest_.Challenges(seams::Now(), stale) : QByteArray()) +
                                  "WWW-Authenticate: Basic realm=\"" + HttpDigest::Realm + "\", charset=\"UTF-8\"\r\n";
    sendWhole(reply, http::StatusResponse("401 Unauthorized", challenges, "application/soap+xml; charset=utf-8",
                                          onvifanswers::Fault(u"Sender"_s, u"ter:NotAuthorized"_s, refusal)));
}

// The kept password of a viewer recorders may log in as, and who may watch live.
const QByteArray *TFormMain::recorderPassword(const QString &user) const
{
    const auto &accounts = FormViewers->Accounts();
    const bool recorder = std::any_of(accounts.begin(), accounts.end(), [&](const ViewerAccount &account) {
        return account.name == user && account.recorder && account.mayWatchLive;
    });
    const auto kept = recorderPasswords_.find(user);
    return recorder && kept != recorderPasswords_.end() ? &kept->second : nullptr;
}

TFormMain::OnvifLogin TFormMain::onvifDigestLogin(const HttpDigest::Credentials &credentials, const QByteArray &text)
{
    const QByteArray *password = recorderPassword(credentials.user);
    const QList<QByteArray> requestLine = text.left(text.indexOf('\n')).simplified().split(' ');
    const HttpDigest::Result result = httpDigest_.Check(credentials, requestLine.value(0), requestLine.value(1),
                                                        password ? *password : QByteArray(), seams::Now());
    if (result == HttpDigest::Result::Stale)
        return OnvifLogin::Stale;
    if (result == HttpDigest::Result::Admitted && password)
        return OnvifLogin::Admitted;
    return result == HttpDigest::Result::Malformed ? OnvifLogin::Refused : OnvifLogin::Wrong;
}

TFormMain::OnvifLogin TFormMain::onvifLogin(const SoapRequest &request, const QByteArray &text, const QString &peer,
                                            QString &refusal)
{
    if (request.token && request.token->digest) {
        const QByteArray *password = recorderPassword(request.token->user);
        if (!password) {
            refusal = u"no viewer of that name may be used by recorders"_s;
            return OnvifLogin::Wrong;
        }
        switch (usernameTokens_.Check(*request.token, *password, peer, seams::Now())) {
        case UsernameTokenCheck::Result::Admitted:
            return OnvifLogin::Admitted;
        case UsernameTokenCheck::Result::OutOfTime:
            refusal = u"the login's time is more than 5 minutes from this computer's clock"_s;
            return OnvifLogin::Refused;
        case UsernameTokenCheck::Result::Replayed:
            refusal = u"that login was used before"_s;
            return OnvifLogin::Wrong;
        case UsernameTokenCheck::Result::WrongPassword:
            break;
        }
        refusal = u"wrong viewer password"_s;
        return OnvifLogin::Wrong;
    }
    if (request.token) {
        refusal = u"wrong viewer password"_s;
        return viewerAccess_->Admits(request.token->user.toUtf8(), request.token->password.toUtf8())
                   ? OnvifLogin::Admitted
                   : OnvifLogin::Wrong;
    }
    if (const auto digest =
            HttpDigest::CredentialsOf(http::HeaderValue(text, "Authorization").value_or(QByteArray()))) {
        refusal = u"wrong viewer password"_s;
        return onvifDigestLogin(*digest, text);
    }
    if (http::BasicCredentialsOf(text)) {
        refusal = u"wrong viewer password"_s;
        return viewerAccess_->Judge(text) == ViewerAccess::Verdict::Admitted ? OnvifLogin::Admitted : OnvifLogin::Wrong;
    }
    return OnvifLogin::Missing;
}

void TFormMain::sendOnvifAnswer(const Reply &reply, const QByteArray &text)
{
    QString problem;
    const std::optional<SoapRequest> request = ParseSoapRequest(bodyOf(text), problem);
    if (!request)
        return;
    const OnvifFacts facts = onvifFacts(text, reply.socket && reply.socket->Encrypted());
    const QString path = pathOf(text);
    if (path.startsWith(u"/onvif/events_service"_s)) {
        pullPoints_.Handle(*request, path, facts.serviceBase, seams::Now(),
                           [this, reply](const QByteArray &envelope, bool fault) {
                               sendWhole(reply, soapResponse(fault ? "500 Internal Server Error" : "200 OK", envelope));
                           });
        return;
    }
    const QByteArray answer = onvifanswers::Answer(*request, facts);
    const bool fault = answer.contains("<s:Fault>");
    sendWhole(reply, soapResponse(fault ? "500 Internal Server Error" : "200 OK", answer));
}
