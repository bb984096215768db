#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// The one way from GStreamer's threads (or any other) back to the GUI thread: a queued call
// to a receiver, dropped once the receiver's post office is closed. The owner keeps a GuiPost
// as a member; its destructor closes it, waiting for a post under way, so no call is ever
// queued to a receiver that is gone. Copies of poster() may outlive the owner safely.
class GuiPost {
public:
    explicit GuiPost(QObject *receiver);
    ~GuiPost() { close(); }
    GuiPost(const GuiPost &) = delete;
    GuiPost &operator=(const GuiPost &) = delete;

    using Call = std::function<void()>;
    // Queues the call on the receiver's thread; nothing once closed.
    void post(Call call) const;
    // A function of any thread that does what post() does, for as long as this is open.
    std::function<void(Call)> poster() const;
    // From now on posts are dropped; calls already queued run only while the receiver lives.
    void close();

private:
    struct Office {
        std::mutex mutex;
        QObject *receiver = nullptr;
        void post(Call call);
    };
    std::shared_ptr<Office> office_ = std::make_shared<Office>();
};
