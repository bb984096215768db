#include "capture/gstreamer/PendingConnect.h"

PendingConnect::PendingConnect(int index, Starter starter, std::chrono::milliseconds wait)
    : index_(index), starter_(std::move(starter)), wait_(wait)
{
}

PendingConnect::State PendingConnect::look()
{
    if (!std::exchange(started_, true)) {
        deadline_ = std::chrono::steady_clock::now() + wait_;
        session_ = starter_();
    }
    if (!session_ || !session_->healthy())
        return State::Failed;
    if (session_->newestFrame().ready())
        return State::Connected;
    return std::chrono::steady_clock::now() < deadline_ ? State::Waiting : State::Failed;
}
