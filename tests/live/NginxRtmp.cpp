#include "tests/live/NginxRtmp.h"

#include "tests/support/BlackBox.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr const char *Config = R"(load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;
daemon off;
master_process off;
pid %1/nginx.pid;
error_log stderr warn;
events { worker_connections 128; }
rtmp {
  server {
    listen 127.0.0.1:%2;
    application live {
      live on;
      hls on;
      hls_path %1/hls;
      hls_fragment 1s;
      hls_playlist_length 6s;
      notify_method get;
      on_publish http://127.0.0.1:%3/publish;
    }
  }
}
http {
  access_log off;
  client_body_temp_path %1/tmp;
  proxy_temp_path %1/tmp;
  fastcgi_temp_path %1/tmp;
  uwsgi_temp_path %1/tmp;
  scgi_temp_path %1/tmp;
  server {
    listen 127.0.0.1:%3;
    location /publish { if ($arg_name = "%4") { return 403; } return 200; }
    location /hls { types { application/vnd.apple.mpegurl m3u8; video/mp2t ts; } root %1; }
  }
}
)";

bool accepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    return probe.waitForConnected(200);
}

} // namespace

NginxRtmp::NginxRtmp() : rtmpPort_(FreeLocalPort()), httpPort_(FreeLocalPort())
{
    QFile config(dir_.filePath(QStringLiteral("nginx.conf")));
    if (config.open(QIODevice::WriteOnly))
        config.write(QString::fromLatin1(Config)
                         .arg(dir_.path())
                         .arg(rtmpPort_)
                         .arg(httpPort_)
                         .arg(QString::fromLatin1(RefusedKey))
                         .toUtf8());
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

NginxRtmp::~NginxRtmp() { kill(); }

bool NginxRtmp::start()
{
    const QString prefix = dir_.path();
    process_.start(QStringLiteral("nginx"),
                   {QStringLiteral("-p"), prefix, QStringLiteral("-c"), prefix + QStringLiteral("/nginx.conf"),
                    QStringLiteral("-e"), QStringLiteral("stderr")});
    if (!process_.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        if (accepts(rtmpPort_) && accepts(httpPort_))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void NginxRtmp::kill()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(5000);
}

bool NginxRtmp::hlsWritten(const QString &key) const
{
    return QFile::exists(dir_.filePath(QStringLiteral("hls/%1.m3u8").arg(key)));
}
