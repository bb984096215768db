#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One thread of its own that runs slow checks in the order they came: a password's hash must
// not hold up the thread that asked. The destructor drops what has not started and waits for
// the one under way.
class PasswordCheckQueue {
public:
    PasswordCheckQueue();
    ~PasswordCheckQueue();
    PasswordCheckQueue(const PasswordCheckQueue &) = delete;
    PasswordCheckQueue &operator=(const PasswordCheckQueue &) = delete;

    void Add(std::function<void()> check);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> checks_;
    bool stopping_ = false;
    std::thread thread_;
};
