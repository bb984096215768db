#include "live/RtspViewerAuth.h"

// GIO names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gst/rtsp-server/rtsp-server.h>
#pragma pop_macro("signals")

#include <mutex>

namespace {

struct ViewerAuth {
    GstRTSPAuth parent;
    RtspViewerCheck *check;
    GstRTSPToken *token;
};

struct ViewerAuthClass {
    GstRTSPAuthClass parent;
};

GObjectClass *parentClass = nullptr;

// "Basic <base64 of user:password>": the user name before the first colon, the password after.
bool CheckBasic(const ViewerAuth &self, const gchar *authorization, const QString &address)
{
    const QByteArray header(authorization);
    if (!header.startsWith("Basic "))
        return false;
    const QByteArray decoded = QByteArray::fromBase64(header.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    const qsizetype colon = decoded.indexOf(':');
    return colon >= 0 && (*self.check)(decoded.left(colon), decoded.mid(colon + 1), address);
}

gboolean Authenticate(GstRTSPAuth *auth, GstRTSPContext *context)
{
    auto *self = reinterpret_cast<ViewerAuth *>(auth);
    GstRTSPConnection *connection = context->client ? gst_rtsp_client_get_connection(context->client) : nullptr;
    const gchar *ip = connection ? gst_rtsp_connection_get_ip(connection) : nullptr;
    const QString address = QString::fromLatin1(ip ? ip : "");
    gchar *authorization = nullptr;
    for (gint n = 0;
         gst_rtsp_message_get_header(context->request, GST_RTSP_HDR_AUTHORIZATION, &authorization, n) == GST_RTSP_OK;
         ++n) {
        if (CheckBasic(*self, authorization, address)) {
            context->token = self->token; // borrowed, as the table's tokens are
            break;
        }
    }
    return TRUE;
}

void Finalize(GObject *object)
{
    auto *self = reinterpret_cast<ViewerAuth *>(object);
    delete self->check;
    gst_rtsp_token_unref(self->token);
    parentClass->finalize(object);
}

void ClassInit(gpointer klass, gpointer)
{
    parentClass = static_cast<GObjectClass *>(g_type_class_peek_parent(klass));
    static_cast<GstRTSPAuthClass *>(klass)->authenticate = Authenticate;
    static_cast<GObjectClass *>(klass)->finalize = Finalize;
}

GType ViewerAuthType()
{
    static GType type = 0;
    static std::once_flag registered;
    std::call_once(registered, [] {
        type = g_type_register_static_simple(GST_TYPE_RTSP_AUTH, "VantrelRtspViewerAuth", sizeof(ViewerAuthClass),
                                             ClassInit, sizeof(ViewerAuth), nullptr, GTypeFlags{});
    });
    return type;
}

} // namespace

GstRTSPAuth *NewRtspViewerAuth(RtspViewerCheck check, GstRTSPToken *token)
{
    auto *self = static_cast<ViewerAuth *>(g_object_new(ViewerAuthType(), nullptr));
    self->check = new RtspViewerCheck(std::move(check));
    self->token = gst_rtsp_token_ref(token);
    return &self->parent;
}
