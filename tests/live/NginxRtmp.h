#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real nginx with Debian's RTMP module on 127.0.0.1, in a folder of its own: application
// "live" takes streams and writes them as HLS, served over HTTP; the stream key "refused"
// is turned away by its publish check. It can be killed and started again on the same
// ports; the destructor stops it.
class NginxRtmp {
public:
    NginxRtmp();
    ~NginxRtmp();
    NginxRtmp(const NginxRtmp &) = delete;
    NginxRtmp &operator=(const NginxRtmp &) = delete;

    // Starts it and waits until it takes connections; false when it did not come up.
    bool start();
    // Ends it at once, as a crash would.
    void kill();

    QString url() const { return QStringLiteral("rtmp://127.0.0.1:%1/live").arg(rtmpPort_); }
    QString hlsUrl(const QString &key) const
    {
        return QStringLiteral("http://127.0.0.1:%1/hls/%2.m3u8").arg(httpPort_).arg(key);
    }
    // Whether the HLS playlist of the key is written yet.
    bool hlsWritten(const QString &key) const;
    // What nginx said when it would not start.
    QString output() { return QString::fromUtf8(process_.readAll()); }

    static constexpr const char *RefusedKey = "refused";

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 rtmpPort_ = 0;
    quint16 httpPort_ = 0;
};
