#include "net/SocketNotifiers.h"

#include <utility>

SocketNotifiers::SocketNotifiers(QObject *owner, std::function<void()> onReadable, std::function<void()> onWritable)
    : owner_(owner), onReadable_(std::move(onReadable)), onWritable_(std::move(onWritable))
{
}

SocketNotifiers::~SocketNotifiers() { Detach(); }

void SocketNotifiers::Attach(int handle)
{
    Detach();
    read_ = Make(handle, QSocketNotifier::Read, onReadable_);
    write_ = Make(handle, QSocketNotifier::Write, onWritable_);
}

QSocketNotifier *SocketNotifiers::Make(int handle, QSocketNotifier::Type type, const std::function<void()> &onReady)
{
    auto *notifier = new QSocketNotifier(handle, type, owner_);
    notifier->setEnabled(false);
    QObject::connect(notifier, &QSocketNotifier::activated, owner_, [onReady] { onReady(); });
    return notifier;
}

// A notifier may be the one whose signal is being delivered right now, so it is
// switched off at once and deleted only once the event loop is back.
void SocketNotifiers::Detach()
{
    for (QPointer<QSocketNotifier> *notifier : {&read_, &write_}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
        }
        *notifier = nullptr;
    }
}

void SocketNotifiers::SetReadable(bool enabled)
{
    if (read_ && read_->isEnabled() != enabled)
        read_->setEnabled(enabled);
}

void SocketNotifiers::SetWritable(bool enabled)
{
    if (write_ && write_->isEnabled() != enabled)
        write_->setEnabled(enabled);
}
