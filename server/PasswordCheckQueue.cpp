#include "server/PasswordCheckQueue.h"

PasswordCheckQueue::PasswordCheckQueue() : thread_([this] { run(); }) {}

PasswordCheckQueue::~PasswordCheckQueue()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        checks_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void PasswordCheckQueue::Add(std::function<void()> check)
{
    {
        const std::lock_guard lock(mutex_);
        checks_.push_back(std::move(check));
    }
    wake_.notify_one();
}

void PasswordCheckQueue::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !checks_.empty(); });
        if (stopping_)
            return;
        const std::function<void()> check = std::move(checks_.front());
        checks_.pop_front();
        lock.unlock();
        check();
        lock.lock();
    }
}
