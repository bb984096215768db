#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

#include <functional>

// Lets recorders find the camera: answers WS-Discovery probes (UDP 3702, the group
// 239.255.255.250 on every IPv4 interface that is up, and probes sent to this computer
// directly) for devices and network video transmitters, says Hello when it starts and Bye
// when it stops. Answers to one address are paced, so a flood of probes is no flood back.
class WsDiscovery : public QObject {
    Q_OBJECT

public:
    struct Endpoint {
        QString address; // "urn:uuid:...", the same on every start
        QStringList deviceServices;
        QStringList scopes;
    };

    WsDiscovery() = default;
    ~WsDiscovery() override { Stop(); }

    // What probes are answered with, asked at each answer.
    std::function<Endpoint()> Describe;

    // False with the reason when the port cannot be had.
    bool Start(quint16 port, QString &failure);
    void Stop();
    bool Running() const { return socket_ != nullptr; }

    static constexpr quint16 Port = 3702;
    static constexpr int MostAnswersPerSecond = 5;

private:
    void readProbes();
    void answer(const QByteArray &probe, const QHostAddress &from, quint16 port);
    bool paced(const QString &address);
    void sendToGroup(const QByteArray &message);
    QByteArray announcement(const QString &kind, const QString &relatesTo);

    QUdpSocket *socket_ = nullptr;
    quint16 port_ = Port;
    quint64 messageNumber_ = 0;
    qint64 instance_ = 0;
    QString address_;
    QHash<QString, QList<qint64>> answered_;
};
