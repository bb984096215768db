// Uploads one file with the FTP client and prints the time it took and how far the
// process's peak resident memory grew during the upload.
// Usage: FtpUploadBench <port> <user> <password> <file> [remote name]
#include "net/ftp/FtpExceptions.h"
#include "net/ftp/TNMFTP.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

// A field of /proc/self/status in KiB, e.g. "VmRSS" or "VmHWM".
long StatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Makes VmHWM start again from the current resident size.
void ResetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: FtpUploadBench <port> <user> <password> <file> [remote name]\n");
        return 2;
    }
    TNMFTP ftp;
    ftp.SetHost(QStringLiteral("127.0.0.1"));
    ftp.SetPort(args.at(1).toInt());
    ftp.SetUserID(args.at(2));
    ftp.SetPassword(args.at(3));
    ResetPeak();
    const long baselineKiB = StatusKiB("VmRSS");
    QElapsedTimer clock;
    qint64 uploadNs = 0;
    ftp.OnConnect = [&](QObject *) {
        ftp.Mode(3); // binary, as the snapshot upload asks for
        clock.start();
        ftp.Upload(args.at(4), args.value(5));
        uploadNs = clock.nsecsElapsed();
        ftp.Disconnect();
    };
    try {
        ftp.Connect();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "upload failed: %s\n", error.what());
        return 1;
    }
    const qint64 bytes = QFileInfo(args.at(4)).size();
    const double seconds = static_cast<double>(uploadNs) / 1e9;
    std::printf("bytes %lld seconds %.3f MB/s %.1f peak_rss_growth_kib %ld\n", static_cast<long long>(bytes), seconds,
                static_cast<double>(bytes) / 1e6 / seconds, StatusKiB("VmHWM") - baselineKiB);
    return 0;
}
