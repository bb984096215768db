// Who may watch: the viewer password's window, its keys in the settings file, and the
// stream viewers that were let in before it.
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/settings/IniFile.h"
#include "live/LiveService.h"
#include "net/TServerClientWinSocket.h"
#include "net/TServerSocket.h"
#include "net/TServerWinSocket.h"
#include "server/MjpegStream.h"
#include "server/PasswordHash.h"
#include "server/TFormViewerPassword.h"

#include <QDateTime>
#include <QPointer>

#include <vector>

namespace {

const QString SectionMain = QStringLiteral("FormMain");
const QString KeyUser = QStringLiteral("ViewerUser");
const QString KeyPassword = QStringLiteral("ViewerPassword");
const QString KeyPasswordHash = QStringLiteral("ViewerPasswordHash");

} // namespace

void TFormMain::createViewerPasswordWindow()
{
    FormViewerPassword = std::make_unique<TFormViewerPassword>();
    FormViewerPassword->SetOwnerWindow(this);
    FormViewerPassword->OnChosen = [this] { ViewerPasswordChosen(); };
    ConnectGuarded(ViewerPassword1, &QAction::triggered, this, &TFormMain::ViewerPassword1Click);
}

void TFormMain::ViewerPassword1Click()
{
    FormViewerPassword->show();
    FormViewerPassword->raise();
    FormViewerPassword->activateWindow();
}

// The choice goes into the settings file at once, not only with the other defaults: after a
// restart the camera must be exactly as protected as the user was told.
void TFormMain::ViewerPasswordChosen()
{
    applyViewerPassword();
    AddToLog(viewerAccess_->Required()
                 ? QStringLiteral("Viewer password set: viewers must give the user name and password")
                 : QStringLiteral("Viewer password removed: everyone may watch"));
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveViewerPassword(ini);
    ini.Save();
}

// The hash when the file has one; a password in clear text from an older version is hashed
// now, and the next save replaces it with its hash.
void TFormMain::loadViewerPassword(const IniFile &ini)
{
    const QString stored = ini.ReadString(SectionMain, KeyPasswordHash, QString());
    const QString clear = ini.ReadString(SectionMain, KeyPassword, QString());
    QString hash = passwordhash::IsHash(stored) ? stored : QString();
    if (hash.isEmpty() && !clear.isEmpty())
        hash = passwordhash::Make(clear);
    if (!stored.isEmpty() && hash.isEmpty())
        AddToLog(QStringLiteral("The viewer password's hash in the settings file is not one this version reads: "
                                "no viewer password is in force"));
    FormViewerPassword->SetCredentials(ini.ReadString(SectionMain, KeyUser, QString()), hash);
    applyViewerPassword();
    if (viewerAccess_->Required())
        AddToLog(QStringLiteral("Viewer password on: viewers must give the user name and password"));
}

// Without a password the file stays as it has always been, unless it still holds an old one.
void TFormMain::saveViewerPassword(IniFile &ini) const
{
    const bool before = !ini.ReadString(SectionMain, KeyPassword, QString()).isEmpty() ||
                        !ini.ReadString(SectionMain, KeyPasswordHash, QString()).isEmpty();
    if (FormViewerPassword->PasswordHash().isEmpty() && !before)
        return;
    ini.WriteString(SectionMain, KeyUser, FormViewerPassword->User());
    ini.WriteString(SectionMain, KeyPasswordHash, FormViewerPassword->PasswordHash());
    ini.DeleteKey(SectionMain, KeyPassword);
}

void TFormMain::applyViewerPassword()
{
    viewerAccess_->Set(FormViewerPassword->User(), FormViewerPassword->PasswordHash());
    Live->SetViewerCheck(viewerAccess_->Required() ? rtspViewerCheck() : LiveService::ViewerCheck());
    // Viewers let in before would go on watching without it; they come back and are asked.
    if (viewerAccess_->Required())
        closeStreamViewers();
}

// RTSP's thread asks the same check and the same lockout as the web server; a lockout it
// starts is told on the GUI thread.
std::function<bool(const QByteArray &, const QByteArray &, const QString &)> TFormMain::rtspViewerCheck()
{
    return [access = viewerAccess_, lockout = lockout_, post = guiPost_.poster(), self = QPointer<TFormMain>(this)](
               const QByteArray &user, const QByteArray &password, const QString &address) {
        const QDateTime now = QDateTime::currentDateTime();
        if (lockout->Locked(address, now))
            return false;
        if (access->Admits(user, password))
            return true;
        if (lockout->Failed(address, now))
            post([self, address] {
                if (self)
                    self->lockoutStarted(address);
            });
        return false;
    };
}

void TFormMain::closeStreamViewers()
{
    const TServerWinSocket *listener = ServerSocket->Socket();
    std::vector<QPointer<TCustomWinSocket>> viewers;
    for (int i = 0; i < listener->ActiveConnections(); ++i) {
        if (Stream->IsViewer(listener->Connections(i)))
            viewers.emplace_back(listener->Connections(i));
    }
    for (const QPointer<TCustomWinSocket> &viewer : viewers) {
        if (viewer)
            viewer->CloseConnection();
    }
}
