#pragma once

#include "capture/gstreamer/CaptureSession.h"

#include <chrono>
#include <functional>
#include <memory>

// A connect on its way, so that no connect holds the GUI thread. The session is
// started at the first look, which comes at the next turn of the event loop: a
// request that replaces this one before then starts nothing. Later looks tell
// whether the first frame came, the source failed, or the wait ran out.
class PendingConnect {
public:
    enum class State { Waiting, Connected, Failed };
    // Starts the session; null when it cannot start at all.
    using Starter = std::function<std::unique_ptr<CaptureSession>()>;

    PendingConnect(int index, Starter starter, std::chrono::milliseconds wait);

    int index() const { return index_; }
    // Starts the session at the first call; afterwards tells how far it got.
    State look();
    // The session, once look() said Connected.
    std::unique_ptr<CaptureSession> takeSession() { return std::move(session_); }

private:
    int index_;
    Starter starter_;
    std::chrono::milliseconds wait_;
    std::chrono::steady_clock::time_point deadline_;
    bool started_ = false;
    std::unique_ptr<CaptureSession> session_;
};
