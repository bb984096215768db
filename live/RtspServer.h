#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class EncodedFeed;
class H264Feed;
typedef struct _GstRTSPServer GstRTSPServer;
typedef struct _GstRTSPMediaFactory GstRTSPMediaFactory;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GTlsCertificate GTlsCertificate;

// RTSP at rtsp://host:port/live: the shared H.264 encoder's output, and the microphone's
// Opus when one is chosen, as one shared media for every client. The server runs on a thread
// of its own, so a slow or hostile client never reaches the GUI thread. With the viewer
// password set, clients must give it (Basic).
class RtspServer {
public:
    static constexpr int DefaultPort = 8554;
    static constexpr const char *Path = "/live";

    // The server's media keep the feeds for as long as the last of them is there.
    RtspServer(std::shared_ptr<H264Feed> video, std::shared_ptr<EncodedFeed> audio);
    ~RtspServer();
    RtspServer(const RtspServer &) = delete;
    RtspServer &operator=(const RtspServer &) = delete;

    // Listens on the port on every address; false, with the reason, when it cannot.
    bool Start(int port, QString &failure);
    void Stop();
    bool Listening() const { return loop_ != nullptr; }
    int Port() const { return port_; }

    // Whether a client's user name and password (Basic) are the viewer's, asked on the
    // server's thread; none lets every client in.
    using ViewerCheck = std::function<bool(const QByteArray &user, const QByteArray &password, const QString &address)>;
    void SetViewerCheck(ViewerCheck check);
    // With a certificate and key (PEM files), clients speak RTSP over TLS only (rtsps://),
    // with the media interleaved in that connection; empty paths: plain RTSP again. False,
    // with the reason, when the files cannot be used (RTSP then stays as it was). Clients
    // connected before are closed.
    bool SetTls(const QString &certificate, const QString &key, QString &failure);
    bool Tls() const { return certificate_ != nullptr; }
    // Ends every client's connection (they may come back, and are then asked again).
    void CloseClients();
    // Whether new clients get the microphone's sound beside the picture.
    void SetAudio(bool on);

    // Clients connected now.
    int ClientCount() const;

    // What the server's callbacks reach: it lives as long as the last of them.
    struct Shared;

private:
    void applyCredentials();

    std::shared_ptr<Shared> shared_;
    GstRTSPServer *server_ = nullptr;
    GstRTSPMediaFactory *factory_ = nullptr;
    GMainContext *context_ = nullptr;
    GMainLoop *loop_ = nullptr;
    std::thread thread_;
    int port_ = 0;
    ViewerCheck check_;
    bool audio_ = false;
    GTlsCertificate *certificate_ = nullptr;
};
