// The FTP upload of a snapshot: one short session per snapshot, driven by the client's events.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/seams/Exception.h"
#include "base/seams/Seams.h"
#include "base/settings/SettingsPath.h"
#include "net/ftp/TNMFTP.h"
#include "snapshot/SnapshotName.h"
#include "snapshot/TFormSnapshotSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

namespace {

QString messageOf(const std::exception &error) { return QString::fromUtf8(error.what()); }

// The remote folder as a prefix of the remote path: a closing "\" (a Windows habit) becomes
// "/", and a folder without a closing "/" gets one.
QString remoteFolderPrefix(QString folder)
{
    if (folder.isEmpty())
        throw Exception(u"No remote folder is set for FTP snapshots (Snapshot Settings)"_s);
    if (folder.endsWith(u'\\'))
        folder.chop(1);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

// A working copy that is already there may be rewritten in a folder that takes no new file.
void writeUploadFile(const QString &path, const QByteArray &jpeg)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() || !file.commit())
        throw Exception(u"Cannot write the upload file %1: %2"_s.arg(path, file.errorString()));
}

} // namespace

void TFormMain::createFtpClient()
{
    NMFTP = new TNMFTP(this);
    NMFTP->SetPort(21);
    NMFTP->SetReportLevel(0);
    NMFTP->SetVendor(2411);
    NMFTP->SetParseList(false);
    NMFTP->SetProxyPort(0);
    NMFTP->SetPassive(false);
    NMFTP->SetFirewallType(FTUser);
    NMFTP->SetFWAuthenticate(false);
    // A server that never answers, or never opens the data connection, ends the wait here.
    NMFTP->SetTimeOut(FtpTimeOutMs);
    NMFTP->OnConnect = [this](QObject *Sender) { NMFTPConnect(Sender); };
    NMFTP->OnSuccess = [this](TCmdType Trans_Type) { NMFTPSuccess(Trans_Type); };
    NMFTP->OnFailure = [this](bool &Handled, TCmdType Trans_Type) { NMFTPFailure(Handled, Trans_Type); };
    NMFTP->OnError = [this](QObject *Sender, int Errno, const QString &Errmsg) { NMFTPError(Sender, Errno, Errmsg); };
    NMFTP->OnConnectionFailed = [this](QObject *Sender) { NMFTPConnectionFailed(Sender); };
    NMFTP->OnInvalidHost = [this](bool &Handled) { NMFTPInvalidHost(Handled); };
}

QString TFormMain::FtpUploadFile()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + u".jpg"_s;
    return FileBesideExecutable(name, QStandardPaths::CacheLocation);
}

void TFormMain::NMFTPStart(const QByteArray &jpeg)
{
    // A run that starts during the session's waits gets no session of its own (the client
    // refuses or ignores its Connect), so it must not swap the picture being uploaded nor
    // change the settings the session runs with.
    const bool ownSession = !NMFTP->InSession();
    if (ownSession)
        ftpSnapshot_ = jpeg;
    const auto release = qScopeGuard([this, ownSession] {
        if (ownSession)
            ftpSnapshot_.clear();
    });
    try {
        if (ownSession)
            loadFtpSettings();
        NMFTP->Connect();
    } catch (const std::exception &error) {
        // Also for what no client event reports (a lookup that timed out, no remote folder,
        // no working copy): a wrong setting must not fail again on every tick.
        AutoCapture->setChecked(false);
        AddToLog(u"FTP: Failed connection attemp"_s + messageOf(error));
    }
}

void TFormMain::loadFtpSettings()
{
    const TFormSnapshotSettings &settings = *FormSnapshotSettings;
    NMFTP->SetUserID(settings.Edit_FTPUsername->text());
    NMFTP->SetPassword(settings.Edit_FTPPassword->text());
    NMFTP->SetHost(settings.Edit_FTPRemoteAddress->text());
    NMFTP->SetPort(settings.SpinEdit_FTPRemotePort->value());
    NMFTP->SetPassive(settings.CheckBox_FTPPassive->isChecked());
}

void TFormMain::NMFTPConnect(QObject *)
{
    const TFormSnapshotSettings &settings = *FormSnapshotSettings;
    const QString folder = remoteFolderPrefix(settings.Edit_FTPRemoteDir->text());
    const QString manual = settings.Edit_ManualFilename->text();
    const QString remoteName = (manual.isEmpty() ? snapshotname::TimeStamp(seams::Now()) : manual) + u".jpg"_s;
    const QString uploadFile = FtpUploadFile();
    writeUploadFile(uploadFile, ftpSnapshot_);
    if (!NMFTP->Connected())
        return;
    try {
        NMFTP->Mode(3); // TYPE L 8: the file's bytes as they are
        NMFTP->Upload(uploadFile, folder + remoteName);
    } catch (const std::exception &error) {
        AddToLog(u"Failed on upload "_s + messageOf(error));
    }
}

void TFormMain::NMFTPSuccess(TCmdType Trans_Type)
{
    // The transfer type's success is not the snapshot's.
    if (Trans_Type != cmdUpload)
        return;
    AddToLog(u"FTP Snapshot saved"_s);
    NMFTP->Disconnect();
}

void TFormMain::NMFTPFailure(bool &, TCmdType)
{
    AutoCapture->setChecked(false);
    AddToLog(u"FTP Failure!"_s);
    try {
        NMFTP->Disconnect();
    } catch (const std::exception &) {
        // The session is closed either way; the failure that brought us here is the one to report.
    }
}

void TFormMain::NMFTPError(QObject *, int, const QString &Errmsg)
{
    AutoCapture->setChecked(false);
    AddToLog(u"FTP Error ("_s + Errmsg + u")"_s);
    // Quitting on a broken connection fails again and would come straight back here.
    if (ftpErrorBeingHandled_)
        return;
    const QScopedValueRollback<bool> handling(ftpErrorBeingHandled_, true);
    try {
        NMFTP->Disconnect();
    } catch (const std::exception &) {
        // The session is closed either way; the error that brought us here is already logged.
    }
}

void TFormMain::NMFTPConnectionFailed(QObject *)
{
    AutoCapture->setChecked(false);
    AddToLog(u"FTP Connection Failed. Check FTP settings or network"_s);
}

void TFormMain::NMFTPInvalidHost(bool &)
{
    AutoCapture->setChecked(false);
    AddToLog(u"FTP Invalid Host, Check settings"_s);
}
