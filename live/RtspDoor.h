#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <set>

typedef struct _GstRTSPClient GstRTSPClient;

// Who gets into the RTSP server, run on the server's own thread: at most `maxClients`
// connections; of them at most MaxUnproven that have not yet been let at the camera (a
// DESCRIBE or SETUP that passed the password), the oldest giving way to a new one, each
// closed when it has not been within ProofSeconds. With the password on, a session answers only to the connection that
// made it. Idle connections cost a descriptor each: without a door, a thousand of them take every descriptor the
// program has.
class RtspDoor : public std::enable_shared_from_this<RtspDoor> {
public:
    static constexpr int ProofSeconds = 10;
    static constexpr int MaxUnproven = 96;
    static constexpr int MostClients = 128;

    // The connections it may take: what the descriptor limit leaves beside the web server's
    // share and what the program itself needs, 8 at least, MostClients at most.
    static int ClientsFor(int descriptorLimit);

    void setMaxClients(int clients) { maxClients_ = clients; }
    void setOwnSessions(bool on) { ownSessions_ = on; }
    int clients() const { return clients_.load(); }

    // A client has just connected (the server's "client-connected").
    void admit(GstRTSPClient *client);
    // What the client's signals tell: it was let at the camera, it is gone.
    void proven(GstRTSPClient *client);
    void closed(GstRTSPClient *client);

private:
    int open() const;
    bool waiting(GstRTSPClient *client) const;
    void evict(GstRTSPClient *client);
    static void closeSoon(GstRTSPClient *client, unsigned delayMs, std::shared_ptr<RtspDoor> door);

    std::atomic<int> clients_{0};
    std::atomic<int> maxClients_{MostClients};
    std::atomic<bool> ownSessions_{false};
    // The server's thread only: those not yet let at the camera, oldest first, and those
    // being closed to make room.
    std::deque<GstRTSPClient *> unproven_;
    std::set<GstRTSPClient *> evicted_;
};
