#pragma once

#include <QString>

#include <stdexcept>

// An error that ends an event handler and is shown to the user by the
// application's exception display, with its text as the message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};
