// HTTPS on the server's port: the "HTTPS" window and its keys, the certificate in use (the
// user's or the program's own), its renewal on disk, and plain requests sent on to https.
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "base/widgets/WindowStyles.h"
#include "live/LiveService.h"
#include "net/TCustomWinSocket.h"
#include "net/TServerSocket.h"
#include "net/TServerWinSocket.h"
#include "net/TlsContext.h"
#include "server/ComputerAddresses.h"
#include "server/HttpFraming.h"
#include "server/HttpsCertificate.h"
#include "server/TFormHttps.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

const QString SectionMain = u"FormMain"_s;
// How often the certificate's files are looked at for a renewal.
constexpr int RenewalCheckMs = 2000;

} // namespace

void TFormMain::createHttps()
{
    const QString settingsFolder = QFileInfo(QFile::decodeName(SettingsFileLocation())).absolutePath();
    httpsCertificate_ = std::make_unique<HttpsCertificate>(settingsFolder);
    FormHttps = std::make_unique<TFormHttps>();
    FormHttps->OnApply = [this](const HttpsSettings &settings) { applyHttpsChoices(settings); };
    ConnectGuarded(Https1, &QAction::triggered, this, &TFormMain::Https1Click);
    httpsIndicator_ = new QLabel(ClientArea);
    httpsIndicator_->setObjectName(u"HttpsIndicator"_s);
    httpsIndicator_->setGeometry(226, 97, 132, 15);
    httpsIndicator_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    httpsIndicator_->hide();
    httpsRenewals_.setInterval(RenewalCheckMs);
    ConnectGuarded(&httpsRenewals_, &QTimer::timeout, this, &TFormMain::reloadRenewedCertificate);
}

void TFormMain::Https1Click()
{
    windowstyle::OwnedBy(FormHttps.get(), this);
    FormHttps->show();
    FormHttps->raise();
    FormHttps->activateWindow();
}

void TFormMain::loadHttpsSettings(const IniFile &ini)
{
    HttpsSettings settings;
    settings.on = ini.ReadBool(SectionMain, u"Https"_s, false);
    settings.certificate = ini.ReadString(SectionMain, u"HttpsCertificate"_s, QString());
    settings.key = ini.ReadString(SectionMain, u"HttpsKey"_s, QString());
    settings.redirect = ini.ReadBool(SectionMain, u"HttpsRedirect"_s, false);
    httpsChosen_ = settings;
    FormHttps->SetSettings(settings);
}

// A file that never had HTTPS on stays as it has always been.
void TFormMain::saveHttpsSettings(IniFile &ini) const
{
    const HttpsSettings &settings = httpsChosen_;
    const QString never = u"-"_s;
    if (!settings.on && ini.ReadString(SectionMain, u"Https"_s, never) == never)
        return;
    ini.WriteBool(SectionMain, u"Https"_s, settings.on);
    ini.WriteString(SectionMain, u"HttpsCertificate"_s, settings.certificate);
    ini.WriteString(SectionMain, u"HttpsKey"_s, settings.key);
    ini.WriteBool(SectionMain, u"HttpsRedirect"_s, settings.redirect);
}

// As with the viewer password, the choice is in the settings file at once: after a restart
// the camera is served as the user was told.
void TFormMain::applyHttpsChoices(const HttpsSettings &settings)
{
    httpsChosen_ = settings;
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveHttpsSettings(ini);
    ini.Save();
    if (!ServerSocket->Active())
        return;
    stopHttps();
    startHttps();
    BuildUrlList();
}

void TFormMain::startHttps()
{
    if (!httpsChosen_.on)
        return;
    httpsCertificate_->SetFiles(httpsChosen_.certificate, httpsChosen_.key);
    if (!takeCertificate(u"HTTPS could not start: %1. Plain HTTP goes on"_s))
        return;
    httpsRenewals_.start();
    AddToLog(u"HTTPS on, on the same port as HTTP"_s);
    showHttpsState();
}

void TFormMain::stopHttps()
{
    httpsRenewals_.stop();
    ServerSocket->SetTls(nullptr);
    if (https_)
        Live->SetTlsFiles({}, {});
    https_.reset();
    showHttpsState();
}

// The certificate's files in force for the connections from now on; false, with the refusal
// logged (its %1 the reason), when they cannot be used.
bool TFormMain::takeCertificate(const QString &refusal)
{
    QString failure;
    bool made = false;
    std::shared_ptr<TlsContext> context = httpsCertificate_->Load(failure, made);
    if (!context) {
        AddToLog(refusal.arg(failure));
        return false;
    }
    if (made)
        AddToLog(u"HTTPS certificate made for this computer: "_s + httpsCertificate_->CertificatePath());
    https_ = std::move(context);
    ServerSocket->SetTls(https_);
    Live->SetTlsFiles(httpsCertificate_->CertificatePath(), httpsCertificate_->KeyPath());
    return true;
}

// A renewed certificate serves the connections from now on; one that cannot be used leaves
// the one in use in place.
void TFormMain::reloadRenewedCertificate()
{
    if (!https_ || !httpsCertificate_->Changed())
        return;
    if (!takeCertificate(u"HTTPS certificate changed but cannot be used (%1): the previous one stays in use"_s))
        return;
    AddToLog(u"HTTPS certificate reloaded"_s);
    showHttpsState();
}

void TFormMain::showHttpsState()
{
    const QString fingerprint = https_ ? https_->Fingerprint() : QString();
    FormHttps->SetFingerprint(fingerprint);
    httpsIndicator_->setVisible(https_ != nullptr);
    httpsIndicator_->setText(u"HTTPS %1:\u2026"_s.arg(fingerprint.left(11)));
    httpsIndicator_->setToolTip(u"SHA-256 fingerprint of the certificate:\n"_s + fingerprint);
    if (!fingerprint.isEmpty() && fingerprint != httpsFingerprintLogged_) {
        httpsFingerprintLogged_ = fingerprint;
        AddToLog(u"HTTPS certificate SHA-256 fingerprint: "_s + fingerprint);
    }
}

// With "Plain HTTP only for the text commands", what a browser asks for over plain HTTP is
// sent to the same address over https; the text commands and requests without a version stay.
bool TFormMain::redirectedToHttps(TCustomWinSocket *socket, request::Kind kind, const QByteArray &text)
{
    if (!https_ || socket->Encrypted() || !httpsChosen_.redirect || !http::NamesHttpVersion(text))
        return false;
    switch (kind) {
    case request::Kind::Say:
    case request::Kind::Msg:
    case request::Kind::Quit:
    case request::Kind::Status:
        return false;
    default:
        break;
    }
    const QStringList addresses = computer::Addresses();
    const QByteArray fallbackHost = addresses.isEmpty() ? QByteArray("localhost") : addresses.first().toLatin1();
    sendWhole(Reply{socket, true}, http::RedirectToHttps(text, ServerSocket->Socket()->LocalPort(), fallbackHost));
    return true;
}
