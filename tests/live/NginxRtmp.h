#pragma once

#include "tests/support/BlackBox.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

inline bool PortAccepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    return probe.waitForConnected(200);
}

// A real nginx with Debian's RTMP module on 127.0.0.1, in a folder of its own: application
// "live" takes streams and writes them as HLS, served over HTTP; its publish check turns the
// key "refused" away. It can be killed and started again on the same ports.
class NginxRtmp {
public:
    NginxRtmp()
    {
        QFile config(dir_.filePath(QStringLiteral("nginx.conf")));
        if (config.open(QIODevice::WriteOnly))
            config.write(QString::fromLatin1(Config).arg(dir_.path()).arg(rtmpPort_).arg(httpPort_).toUtf8());
    }
    ~NginxRtmp() { kill(); }

    // Starts it and waits until it takes connections; false when it did not come up.
    bool start()
    {
        process_.start(QStringLiteral("nginx"),
                       {QStringLiteral("-p"), dir_.path(), QStringLiteral("-c"),
                        dir_.filePath(QStringLiteral("nginx.conf")), QStringLiteral("-e"), QStringLiteral("stderr")});
        const QDeadlineTimer deadline(10000);
        while (process_.waitForStarted(5000) && !deadline.hasExpired() &&
               !(PortAccepts(rtmpPort_) && PortAccepts(httpPort_)))
            QThread::msleep(50);
        return process_.state() == QProcess::Running && !deadline.hasExpired();
    }
    // Ends it at once, as a crash would.
    void kill()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

    QString url() const { return QStringLiteral("rtmp://127.0.0.1:%1/live").arg(rtmpPort_); }
    QString hlsUrl(const QString &key) const
    {
        return QStringLiteral("http://127.0.0.1:%1/hls/%2.m3u8").arg(httpPort_).arg(key);
    }
    bool hlsWritten(const QString &key) const
    {
        return QFile::exists(dir_.filePath(QStringLiteral("hls/%1.m3u8").arg(key)));
    }

private:
    static constexpr const char *Config = R"(load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;
daemon off; master_process off; pid %1/nginx.pid; error_log stderr warn;
events { worker_connections 128; }
rtmp { server { listen 127.0.0.1:%2; application live {
  live on; hls on; hls_path %1/hls; hls_fragment 1s; hls_playlist_length 6s;
  notify_method get; on_publish http://127.0.0.1:%3/publish; } } }
http { access_log off; client_body_temp_path %1/tmp; proxy_temp_path %1/tmp; fastcgi_temp_path %1/tmp;
  uwsgi_temp_path %1/tmp; scgi_temp_path %1/tmp;
  server { listen 127.0.0.1:%3;
    location /publish { if ($arg_name = "refused") { return 403; } return 200; }
    location /hls { types { application/vnd.apple.mpegurl m3u8; video/mp2t ts; } root %1; } } }
)";
    QTemporaryDir dir_;
    QProcess process_;
    quint16 rtmpPort_ = FreeLocalPort();
    quint16 httpPort_ = FreeLocalPort();
};
