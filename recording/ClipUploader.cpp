#include "recording/ClipUploader.h"

#include "net/ftp/TNMFTP.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The folder without a closing "/" (or "\\", a Windows habit).
QString remoteFolderOf(const FtpDestination &destination)
{
    QString folder = destination.folder.trimmed();
    while (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        folder.chop(1);
    return folder;
}

// One FTP session for one file, on the uploader's thread: the folder made if it is not
// there, the file stored in binary. Returns why it failed, or "" once the server has it.
QString sendFile(const QString &path, const FtpDestination &destination)
{
    TNMFTP ftp;
    ftp.SetHost(destination.host);
    ftp.SetPort(destination.port);
    ftp.SetUserID(destination.user);
    ftp.SetPassword(destination.password);
    ftp.SetPassive(destination.passive);
    ftp.SetTimeOut(ClipUploader::TimeOutMs);
    QString failure;
    ftp.OnError = [&failure](QObject *, int, const QString &message) {
        if (failure.isEmpty())
            failure = message;
    };
    bool makingFolder = false;
    ftp.OnFailure = [&](bool &handled, TCmdType) { handled = makingFolder; };
    bool stored = false;
    ftp.OnSuccess = [&stored](TCmdType kind) { stored = stored || kind == cmdUpload; };
    ftp.OnConnect = [&](QObject *) {
        const QString folder = remoteFolderOf(destination);
        if (!folder.isEmpty()) {
            makingFolder = true; // there already, most times: its refusal is expected
            ftp.DoCommand(u"MKD "_s + folder);
            makingFolder = false;
        }
        ftp.Mode(2); // TYPE I
        const QString name = QFileInfo(path).fileName();
        ftp.Upload(path, folder.isEmpty() ? name : folder + u'/' + name);
    };
    try {
        ftp.Connect();
        ftp.Disconnect();
    } catch (const std::exception &error) {
        if (!stored)
            return failure.isEmpty() ? QString::fromUtf8(error.what()).trimmed() : failure;
    }
    if (!stored)
        return failure.isEmpty() ? u"the server did not take the file"_s : failure;
    return {};
}

} // namespace

ClipUploader::ClipUploader(QObject *parent) : QObject(parent)
{
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.setObjectName(u"Clip upload"_s);
    thread_.start();
}

ClipUploader::~ClipUploader()
{
    // Every wait of a running session ends as cancelled once the thread is told to quit.
    thread_.quit();
    thread_.wait();
}

void ClipUploader::Upload(const QString &path, const FtpDestination &destination)
{
    const QString name = QFileInfo(path).fileName();
    if (destination.host.trimmed().isEmpty()) {
        emit logged(u"FTP upload of recording %1 not started: no FTP server is set (Snapshot Settings); "
                    u"it is kept in the recordings folder"_s.arg(name));
        emit finished(path, false);
        return;
    }
    if (Waiting() >= MaxWaiting) {
        emit logged(u"FTP upload of recording %1 not started: %2 recordings are waiting for the server; "
                    u"it is kept in the recordings folder"_s.arg(name)
                        .arg(Waiting()));
        emit finished(path, false);
        return;
    }
    waiting_.push_back({path, destination});
    sendNext();
}

void ClipUploader::sendNext()
{
    if (sending_ || waiting_.empty())
        return;
    sending_ = true;
    const Job job = waiting_.front();
    QMetaObject::invokeMethod(worker_, [this, job] {
        const QString failure = sendFile(job.path, job.destination);
        QMetaObject::invokeMethod(
            this, [this, failure] { sent(failure); }, Qt::QueuedConnection);
    });
}

void ClipUploader::sent(const QString &failure)
{
    const Job job = waiting_.front();
    waiting_.pop_front();
    sending_ = false;
    const QString name = QFileInfo(job.path).fileName();
    if (failure.isEmpty())
        emit logged(u"FTP recording saved: "_s + name);
    else
        emit logged(
            u"FTP upload of recording %1 failed (%2); it is kept in the recordings folder"_s.arg(name, failure));
    emit finished(job.path, failure.isEmpty());
    sendNext();
}
