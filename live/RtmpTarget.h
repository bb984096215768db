#pragma once

#include <QString>

// Where a live stream goes: a streaming server's address (rtmp:// or rtmps://, with the
// application, as the platforms give it: "rtmp://a.rtmp.youtube.com/live2") and the stream
// key that names the stream there. The key is a secret: nothing shown or logged carries it.
class RtmpTarget {
public:
    RtmpTarget(const QString &url, const QString &key);

    // Empty when the address can be pushed to, else what is wrong with it.
    QString problem() const { return problem_; }
    // The server's host name, for the log and the window.
    QString host() const { return host_; }
    // What the pushing element connects to: the address with the key as the stream's name.
    QString location() const;
    // The text with the key taken out (messages of the network stack may quote the location).
    QString withoutKey(const QString &text) const;

private:
    QString url_;
    QString key_;
    QString host_;
    QString problem_;
};
