#pragma once

#include <QSocketNotifier>

#include <functional>

// The read and write readiness notifiers of an endpoint's socket handle, delivered on the
// GUI thread. Linux notifiers are level-triggered: each one is on only while its endpoint
// wants to hear about that readiness. The notifiers belong to the owner object.
class SocketNotifiers {
public:
    SocketNotifiers(QObject *owner, std::function<void()> onReadable, std::function<void()> onWritable);
    ~SocketNotifiers();
    SocketNotifiers(const SocketNotifiers &) = delete;
    SocketNotifiers &operator=(const SocketNotifiers &) = delete;

    // Watches a handle, both notifiers off; replaces any handle watched before.
    void Attach(int handle);
    // Stops watching; call before the handle is closed.
    void Detach();
    bool Attached() const { return handle_ >= 0; }

    void SetReadable(bool enabled);
    void SetWritable(bool enabled);
    bool Readable() const { return read_ && read_->isEnabled(); }
    bool Writable() const { return write_ && write_->isEnabled(); }

private:
    void Switch(QSocketNotifier *&notifier, QSocketNotifier::Type type, const std::function<void()> &onReady,
                bool enabled);

    QObject *owner_;
    std::function<void()> onReadable_;
    std::function<void()> onWritable_;
    int handle_ = -1;
    QSocketNotifier *read_ = nullptr;
    QSocketNotifier *write_ = nullptr;
};
