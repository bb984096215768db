#pragma once

#include "net/ftp/FtpExceptions.h"
#include "net/ftp/TNMFTP.h"

#include <QStringList>

#include <functional>

// A client on 127.0.0.1 that writes every event it hears into a list, e.g.
// "connectionFailed", "connect", "failure:9", "success:9", "error:10054".
struct FtpFixture {
    explicit FtpFixture(quint16 port, const QString &user = QStringLiteral("vantrel"))
    {
        ftp.SetHost(QStringLiteral("127.0.0.1"));
        ftp.SetPort(port);
        ftp.SetUserID(user);
        ftp.SetPassword(QStringLiteral("secret"));
        ftp.OnConnectionFailed = [this](QObject *) { events << QStringLiteral("connectionFailed"); };
        ftp.OnError = [this](QObject *, int number, const QString &) {
            events << QStringLiteral("error:%1").arg(number);
        };
        ftp.OnSuccess = [this](TCmdType kind) { events << QStringLiteral("success:%1").arg(kind); };
        ftp.OnFailure = [this](bool &handled, TCmdType kind) {
            events << QStringLiteral("failure:%1").arg(kind);
            handled = handleFailures;
        };
        ftp.OnConnect = [this](QObject *) {
            events << QStringLiteral("connect");
            if (whileConnected)
                whileConnected();
        };
    }

    // Connects, runs whileConnected inside OnConnect, and returns the message of what was
    // raised ("" when nothing was).
    QString Run(std::function<void()> work = {})
    {
        whileConnected = std::move(work);
        return Raised([this] { ftp.Connect(); });
    }

    static QString Raised(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const FtpError &error) {
            return error.message();
        } catch (const Exception &error) {
            return error.message();
        }
        return {};
    }

    TNMFTP ftp;
    QStringList events;
    bool handleFailures = false;
    std::function<void()> whileConnected;
};
