#pragma once

#include <glib-object.h>

#include <memory>
#include <mutex>

// What a C callback of GStreamer or GLib reaches, as the user data it is given with a
// destroy notify. Two kinds:
// - a shared state the callback keeps alive (Hold, Held, Release): for state that must
//   outlive its owner while a pipeline winds down;
// - an OwnerLink: the callback reaches its owner while the owner lives and finds it gone
//   after; cutting the link waits for a call under way.
namespace gstcall {

template <class T> gpointer Hold(const std::shared_ptr<T> &shared) { return new std::shared_ptr<T>(shared); }
template <class T> T &Held(gpointer held) { return **static_cast<std::shared_ptr<T> *>(held); }
template <class T> void Release(gpointer held) { delete static_cast<std::shared_ptr<T> *>(held); }
// The same, as a signal connection's destroy notify.
template <class T> void ReleaseClosure(gpointer held, GClosure *) { Release<T>(held); }

template <class Owner> class OwnerLink {
public:
    explicit OwnerLink(Owner *owner) { link_->owner = owner; }
    ~OwnerLink() { cut(); }
    OwnerLink(const OwnerLink &) = delete;
    OwnerLink &operator=(const OwnerLink &) = delete;

    // User data for one callback; `release` is its destroy notify.
    gpointer hold() const { return Hold(link_); }
    static void release(gpointer held) { Release<Link>(held); }

    // From now on callbacks find the owner gone; a call under way finishes first.
    void cut()
    {
        std::lock_guard lock(link_->mutex);
        link_->owner = nullptr;
    }

    // Runs `call(owner)` while the owner cannot go; false when it has gone. The same thread
    // may come in again (a state change that posts an error at once).
    template <class Call> static bool With(gpointer held, Call &&call)
    {
        Link &link = Held<Link>(held);
        std::lock_guard lock(link.mutex);
        if (!link.owner)
            return false;
        call(*link.owner);
        return true;
    }

private:
    struct Link {
        std::recursive_mutex mutex;
        Owner *owner = nullptr;
    };
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
};

} // namespace gstcall
