#pragma once

#include <QObject>
#include <QString>

#include <utility>

// The application's exception display: a message box with the error's text;
// the program goes on.
void ShowException(const QString &message);

// Shows the exception being handled; call only inside a catch block.
void ShowCurrentException();

// Wraps an event handler so that an error escaping it is shown by the
// exception display right here, instead of unwinding through the GUI
// library's frames, which are not built to pass exceptions on.
template <typename... Args, typename Handler> auto Guarded(Handler handler)
{
    return [handler = std::move(handler)](Args... args) {
        try {
            handler(args...);
        } catch (...) {
            ShowCurrentException();
        }
    };
}

// Connects a signal to a handler of the receiver through the exception display.
// The handler takes no arguments; whatever the signal carries is dropped.
template <typename Sender, typename Signal, typename Receiver>
QMetaObject::Connection ConnectGuarded(Sender *sender, Signal signal, Receiver *receiver, void (Receiver::*handler)())
{
    return QObject::connect(sender, signal, receiver, Guarded([receiver, handler] { (receiver->*handler)(); }));
}
