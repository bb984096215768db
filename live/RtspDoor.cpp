#include "live/RtspDoor.h"

#include "gst/Callbacks.h"

#include <algorithm>

// GIO names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gst/rtsp-server/rtsp-server.h>
#pragma pop_macro("signals")

namespace {

// Descriptors the web server may take (its own cap), and what the program keeps for itself:
// pipelines, WebRTC viewers, files.
constexpr int WebServerShare = 512;
constexpr int ProgramReserve = 256;

using gstcall::Hold;
using gstcall::ReleaseClosure;
RtspDoor &doorOf(gpointer held) { return gstcall::Held<RtspDoor>(held); }

void onProven(GstRTSPClient *client, GstRTSPContext *, gpointer door);
void onClosed(GstRTSPClient *client, gpointer door);

} // namespace

int RtspDoor::ClientsFor(int descriptorLimit)
{
    const int left = descriptorLimit - std::min(WebServerShare, descriptorLimit) - ProgramReserve;
    return std::clamp(left, 8, MostClients);
}

// A new connection is always let in: the oldest of those that have not been let at the camera
// makes room for it. A player asks within milliseconds of connecting; an idle flood only
// ever pushes out its own.
void RtspDoor::admit(GstRTSPClient *client)
{
    ++clients_;
    g_signal_connect_data(client, "closed", G_CALLBACK(onClosed), Hold(shared_from_this()), ReleaseClosure<RtspDoor>,
                          GConnectFlags{});
    if (open() > maxClients_ && unproven_.empty()) {
        evict(client);
        return;
    }
    unproven_.push_back(client);
    for (const char *request : {"describe-request", "setup-request"})
        g_signal_connect_data(client, request, G_CALLBACK(onProven), Hold(shared_from_this()), ReleaseClosure<RtspDoor>,
                              GConnectFlags{});
    // Sessions of a pool of its own: another connection that names one finds none, before
    // it could take the session over (or end it by closing).
    if (ownSessions_) {
        GstRTSPSessionPool *own = gst_rtsp_session_pool_new();
        gst_rtsp_client_set_session_pool(client, own);
        g_object_unref(own);
    }
    closeSoon(client, ProofSeconds * 1000, shared_from_this());
    while (!unproven_.empty() && (static_cast<int>(unproven_.size()) > MaxUnproven || open() > maxClients_))
        evict(unproven_.front());
}

bool RtspDoor::waiting(GstRTSPClient *client) const
{
    return std::find(unproven_.begin(), unproven_.end(), client) != unproven_.end();
}

int RtspDoor::open() const { return clients_ - static_cast<int>(evicted_.size()); }

void RtspDoor::evict(GstRTSPClient *client)
{
    std::erase(unproven_, client);
    evicted_.insert(client);
    closeSoon(client, 0, nullptr);
}

void RtspDoor::proven(GstRTSPClient *client) { std::erase(unproven_, client); }

void RtspDoor::closed(GstRTSPClient *client)
{
    std::erase(unproven_, client);
    evicted_.erase(client);
    --clients_;
}

// On the server's thread, once the signal that asks has returned. With a door, only a client
// still unproven by then is closed.
void RtspDoor::closeSoon(GstRTSPClient *client, unsigned delayMs, std::shared_ptr<RtspDoor> door)
{
    // The client is held weakly: a client that went meanwhile goes at once, with its socket.
    struct Closing {
        GWeakRef client;
        std::shared_ptr<RtspDoor> door;
    };
    auto *closing = new Closing{{}, std::move(door)};
    g_weak_ref_init(&closing->client, client);
    GSource *source = delayMs ? g_timeout_source_new(delayMs) : g_idle_source_new();
    g_source_set_callback(
        source,
        [](gpointer held) -> gboolean {
            auto *due = static_cast<Closing *>(held);
            if (auto *alive = static_cast<GstRTSPClient *>(g_weak_ref_get(&due->client))) {
                if (!due->door || due->door->waiting(alive))
                    gst_rtsp_client_close(alive);
                g_object_unref(alive);
            }
            return G_SOURCE_REMOVE;
        },
        closing,
        [](gpointer held) {
            auto *due = static_cast<Closing *>(held);
            g_weak_ref_clear(&due->client);
            delete due;
        });
    g_source_attach(source, g_main_context_get_thread_default());
    g_source_unref(source);
}

namespace {

void onProven(GstRTSPClient *client, GstRTSPContext *, gpointer door) { doorOf(door).proven(client); }
void onClosed(GstRTSPClient *client, gpointer door) { doorOf(door).closed(client); }

} // namespace
