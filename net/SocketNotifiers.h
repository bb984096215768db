#pragma once

#include <QPointer>
#include <QSocketNotifier>

#include <functional>

// The read and write readiness notifiers of one socket handle, delivered on the GUI
// thread. Linux notifiers are level-triggered: each one stays on only while its
// endpoint wants to hear about that readiness.
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
    bool Attached() const { return read_ != nullptr; }

    void SetReadable(bool enabled);
    void SetWritable(bool enabled);
    bool Readable() const { return read_ && read_->isEnabled(); }
    bool Writable() const { return write_ && write_->isEnabled(); }

private:
    QSocketNotifier *Make(int handle, QSocketNotifier::Type type, const std::function<void()> &onReady);

    QObject *owner_;
    std::function<void()> onReadable_;
    std::function<void()> onWritable_;
    QPointer<QSocketNotifier> read_;
    QPointer<QSocketNotifier> write_;
};
