#include "live/RtspServer.h"

#include "gst/Callbacks.h"
#include "live/H264Feed.h"
#include "live/RtspDoor.h"
#include "live/RtspViewerAuth.h"
#include "net/PosixSocket.h"

#include <QFile>

// GIO names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gst/rtsp-server/rtsp-server.h>
#pragma pop_macro("signals")

#include <vector>

namespace {

constexpr const char *Role = "viewer";
constexpr const char *VideoOnly = "( appsrc name=video ! h264parse ! rtph264pay name=pay0 pt=96 )";
constexpr const char *VideoAndSound = "( appsrc name=video ! h264parse ! rtph264pay name=pay0 pt=96 "
                                      "appsrc name=audio ! opusparse ! rtpopuspay name=pay1 pt=97 )";

} // namespace

struct RtspServer::Shared {
    std::shared_ptr<H264Feed> video;
    std::shared_ptr<EncodedFeed> audio;
    std::shared_ptr<RtspDoor> door = std::make_shared<RtspDoor>();
};

namespace {

using Shared = RtspServer::Shared;
using gstcall::Hold;
using gstcall::ReleaseClosure;
Shared &sharedOf(gpointer data) { return gstcall::Held<Shared>(data); }

// A media's hold on a feed: the feed stays while the media has it.
struct Attachment {
    std::shared_ptr<EncodedFeed> feed;
    int id;
};

void detachAll(gpointer data)
{
    auto *attachments = static_cast<std::vector<Attachment> *>(data);
    for (const Attachment &attachment : *attachments)
        attachment.feed->detach(attachment.id);
    delete attachments;
}

void onUnprepared(GstRTSPMedia *media, gpointer) { g_object_set_data(G_OBJECT(media), "vantrel-feeds", nullptr); }

void attachSource(GstElement *bin, const char *name, const std::shared_ptr<EncodedFeed> &feed,
                  std::vector<Attachment> &attachments)
{
    GstElement *source = feed ? gst_bin_get_by_name(GST_BIN(bin), name) : nullptr;
    if (!source)
        return;
    if (const int id = feed->attach(GST_APP_SRC(source)))
        attachments.push_back({feed, id});
    gst_object_unref(source);
}

// Each new media takes its picture (and sound) from the shared encoders; it lets go of them
// when it is unprepared, after its last client.
void onMediaConfigure(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer data)
{
    const Shared &shared = sharedOf(data);
    gstref::Element bin(gst_rtsp_media_get_element(media));
    auto *attachments = new std::vector<Attachment>;
    attachSource(bin.get(), "video", shared.video, *attachments);
    attachSource(bin.get(), "audio", shared.audio, *attachments);
    g_object_set_data_full(G_OBJECT(media), "vantrel-feeds", attachments, detachAll);
    g_signal_connect(media, "unprepared", G_CALLBACK(onUnprepared), nullptr);
}

void onClientConnected(GstRTSPServer *, GstRTSPClient *client, gpointer data) { sharedOf(data).door->admit(client); }

GstRTSPFilterResult closeClient(GstRTSPServer *, GstRTSPClient *, gpointer) { return GST_RTSP_FILTER_REMOVE; }

} // namespace

RtspServer::RtspServer(std::shared_ptr<H264Feed> video, std::shared_ptr<EncodedFeed> audio)
    : shared_(std::make_shared<Shared>())
{
    shared_->video = std::move(video);
    shared_->audio = std::move(audio);
}

RtspServer::~RtspServer()
{
    Stop();
    g_clear_object(&certificate_);
}

int RtspServer::ClientCount() const { return shared_->door->clients(); }

bool RtspServer::Start(int port, QString &failure)
{
    Stop();
    shared_->door->setMaxClients(RtspDoor::ClientsFor(PosixSocket::DescriptorLimit()));
    server_ = gst_rtsp_server_new();
    gst_rtsp_server_set_service(server_, QByteArray::number(port).constData());
    factory_ = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory_, shared_->audio && audio_ ? VideoAndSound : VideoOnly);
    gst_rtsp_media_factory_set_shared(factory_, TRUE);
    g_signal_connect_data(factory_, "media-configure", G_CALLBACK(onMediaConfigure), Hold(shared_),
                          ReleaseClosure<Shared>, GConnectFlags{});
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(server_);
    gst_rtsp_mount_points_add_factory(mounts, Path, GST_RTSP_MEDIA_FACTORY(g_object_ref(factory_)));
    g_object_unref(mounts);
    g_signal_connect_data(server_, "client-connected", G_CALLBACK(onClientConnected), Hold(shared_),
                          ReleaseClosure<Shared>, GConnectFlags{});
    applyCredentials();

    context_ = g_main_context_new();
    GError *raw = nullptr;
    GSource *source = gst_rtsp_server_create_source(server_, nullptr, &raw);
    gstref::Error error(raw);
    if (!source) {
        failure = error ? QString::fromUtf8(error->message) : QStringLiteral("the port cannot be opened");
        Stop();
        return false;
    }
    g_source_attach(source, context_);
    g_source_unref(source);
    port_ = gst_rtsp_server_get_bound_port(server_);
    loop_ = g_main_loop_new(context_, FALSE);
    thread_ = std::thread([loop = loop_, context = context_] {
        g_main_context_push_thread_default(context);
        g_main_loop_run(loop);
        g_main_context_pop_thread_default(context);
    });
    return true;
}

void RtspServer::CloseClients()
{
    if (!loop_)
        return;
    g_main_context_invoke(
        context_,
        [](gpointer server) -> gboolean {
            gst_rtsp_server_client_filter(static_cast<GstRTSPServer *>(server), closeClient, nullptr);
            return G_SOURCE_REMOVE;
        },
        server_);
}

// Clients are closed on the server's own thread, which then ends.
void RtspServer::Stop()
{
    if (loop_) {
        CloseClients();
        g_main_context_invoke(
            context_,
            [](gpointer loop) -> gboolean {
                g_main_loop_quit(static_cast<GMainLoop *>(loop));
                return G_SOURCE_REMOVE;
            },
            loop_);
        thread_.join();
        g_main_loop_unref(loop_);
        loop_ = nullptr;
    }
    if (context_) {
        // The listening source goes with the context's last reference.
        g_main_context_unref(context_);
        context_ = nullptr;
    }
    if (factory_)
        g_object_unref(factory_);
    factory_ = nullptr;
    if (server_)
        g_object_unref(server_);
    server_ = nullptr;
    port_ = 0;
}

void RtspServer::SetViewerCheck(ViewerCheck check)
{
    check_ = std::move(check);
    shared_->door->setOwnSessions(check_ != nullptr);
    if (server_)
        applyCredentials();
}

void RtspServer::SetAudio(bool on)
{
    audio_ = on;
    if (factory_)
        gst_rtsp_media_factory_set_launch(factory_, shared_->audio && audio_ ? VideoAndSound : VideoOnly);
}

bool RtspServer::SetTls(const QString &certificate, const QString &key, QString &failure)
{
    GTlsCertificate *loaded = nullptr;
    if (!certificate.isEmpty()) {
        GError *raw = nullptr;
        loaded = g_tls_certificate_new_from_files(QFile::encodeName(certificate).constData(),
                                                  QFile::encodeName(key).constData(), &raw);
        gstref::Error error(raw);
        if (!loaded) {
            failure = error ? QString::fromUtf8(error->message) : QStringLiteral("the certificate cannot be read");
            return false;
        }
    }
    g_clear_object(&certificate_);
    certificate_ = loaded;
    if (server_) {
        applyCredentials();
        CloseClients();
    }
    return true;
}

// The check on every request: the password when one is set, and TLS with the certificate
// when there is one (which needs the check object even when everyone may watch).
void RtspServer::applyCredentials()
{
    // Over TLS the media go inside the encrypted connection, never beside it over UDP.
    gst_rtsp_media_factory_set_protocols(factory_, certificate_ ? GST_RTSP_LOWER_TRANS_TCP
                                                                : GstRTSPLowerTrans(GST_RTSP_LOWER_TRANS_UDP |
                                                                                    GST_RTSP_LOWER_TRANS_UDP_MCAST |
                                                                                    GST_RTSP_LOWER_TRANS_TCP));
    if (!check_ && !certificate_) {
        gst_rtsp_server_set_auth(server_, nullptr);
        return;
    }
    GstRTSPToken *token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, Role, nullptr);
    GstRTSPAuth *auth = check_ ? NewRtspViewerAuth(check_, token) : gst_rtsp_auth_new();
    gst_rtsp_auth_set_realm(auth, "Vantrel");
    if (certificate_)
        gst_rtsp_auth_set_tls_certificate(auth, certificate_);
    if (!check_)
        gst_rtsp_auth_set_default_token(auth, token);
    gst_rtsp_token_unref(token);
    GstRTSPPermissions *permissions = gst_rtsp_permissions_new();
    gst_rtsp_permissions_add_role(permissions, Role, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                  GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
    gst_rtsp_media_factory_set_permissions(factory_, permissions);
    gst_rtsp_permissions_unref(permissions);
    gst_rtsp_server_set_auth(server_, auth);
    g_object_unref(auth);
}
