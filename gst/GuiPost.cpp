#include "gst/GuiPost.h"

GuiPost::GuiPost(QObject *receiver) { office_->receiver = receiver; }

void GuiPost::post(Call call) const { office_->post(std::move(call)); }

std::function<void(GuiPost::Call)> GuiPost::poster() const
{
    return [office = office_](Call call) { office->post(std::move(call)); };
}

void GuiPost::close()
{
    std::lock_guard lock(office_->mutex);
    office_->receiver = nullptr;
}

// The receiver is alive while the lock is held (its owner closes the office before it goes);
// a call that was queued just before the receiver went is dropped with its events.
void GuiPost::Office::post(Call call)
{
    std::lock_guard lock(mutex);
    if (!receiver)
        return;
    QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
}
