#include "net/SocketNotifiers.h"

#include <utility>

// Every switch of a notifier wakes the event loop once, so each notifier is made once
// per endpoint, moved from handle to handle, and switched only when its wish changes.
SocketNotifiers::SocketNotifiers(QObject *owner, std::function<void()> onReadable, std::function<void()> onWritable)
    : owner_(owner), onReadable_(std::move(onReadable)), onWritable_(std::move(onWritable))
{
}

SocketNotifiers::~SocketNotifiers() { Detach(); }

void SocketNotifiers::Attach(int handle)
{
    Detach();
    handle_ = handle;
}

void SocketNotifiers::Detach()
{
    SetReadable(false);
    SetWritable(false);
    handle_ = -1;
}

void SocketNotifiers::SetReadable(bool enabled) { Switch(read_, QSocketNotifier::Read, onReadable_, enabled); }

void SocketNotifiers::SetWritable(bool enabled) { Switch(write_, QSocketNotifier::Write, onWritable_, enabled); }

void SocketNotifiers::Switch(QSocketNotifier *&notifier, QSocketNotifier::Type type,
                             const std::function<void()> &onReady, bool enabled)
{
    if (!enabled) {
        if (notifier && notifier->isEnabled())
            notifier->setEnabled(false);
        return;
    }
    if (handle_ < 0)
        return;
    if (!notifier) {
        notifier = new QSocketNotifier(type, owner_);
        QObject::connect(notifier, &QSocketNotifier::activated, owner_, [onReady] { onReady(); });
    }
    if (notifier->socket() != handle_)
        notifier->setSocket(handle_); // leaves it off
    if (!notifier->isEnabled())
        notifier->setEnabled(true);
}
