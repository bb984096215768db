#pragma once

#include <QString>

#include <stdexcept>

// Raised for socket failures. Inside a notification it ends in the exception display;
// from a call the program made (setting Active) it propagates to that caller.
class ESocketError : public std::runtime_error {
public:
    explicit ESocketError(const QString &message, int errorCode = 0);

    // "Windows socket error: <text> (<code>), on API '<api>'"
    static ESocketError Platform(int errorCode, const char *api);
    // "Asynchronous socket error <code>"
    static ESocketError Asynchronous(int errorCode);

    static ESocketError CantChangeWhileActive();
    static ESocketError CantListenOnOpenSocket();
    static ESocketError CantCreateSocket();
    static ESocketError AlreadyOpen();
    static ESocketError NoAddress();

    const QString &message() const { return message_; }
    // The socket error number behind the message, 0 for the component's own complaints.
    int errorCode() const { return errorCode_; }

private:
    QString message_;
    int errorCode_;
};
