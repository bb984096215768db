#include "tests/net/ftp/FtpTestServers.h"

#include <QTimer>

#include <sys/socket.h>

PyFtpServer::PyFtpServer(quint16 port)
{
    process_.setProgram(QStringLiteral("/usr/bin/python3"));
    process_.setArguments({QStringLiteral(VANTREL_FTP_SERVER_SCRIPT), folder_.path(), QString::number(port)});
    process_.start();
    if (process_.waitForReadyRead(10000))
        port_ = process_.readLine().trimmed().toUShort();
}

PyFtpServer::~PyFtpServer()
{
    process_.kill();
    process_.waitForFinished(5000);
}

namespace {

// Lingering for 0 s makes the close a reset.
void ResetConnection(QTcpSocket *socket)
{
    const linger reset{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    socket->abort();
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer(quint16 port)
{
    server_.listen(QHostAddress::LocalHost, port);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

void ScriptedFtpServer::Accept()
{
    QTcpSocket *control = server_.nextPendingConnection();
    control->setParent(this);
    controls_ << control;
    ++connections;
    QObject::connect(control, &QTcpSocket::disconnected, this, [this] { ++closedConnections; });
    QObject::connect(control, &QTcpSocket::readyRead, this, [this, control] {
        pending_ += control->readAll();
        for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
            const QByteArray line = pending_.left(end + 1);
            pending_.remove(0, end + 1);
            Command(control, line);
        }
    });
    SendGreeting(control, 0);
}

void ScriptedFtpServer::CloseControlConnections()
{
    for (QTcpSocket *control : std::as_const(controls_))
        control->disconnectFromHost();
}

void ScriptedFtpServer::Answer(const QByteArray &reply)
{
    for (QTcpSocket *control : std::as_const(controls_))
        control->write(reply);
}

void ScriptedFtpServer::SendGreeting(QTcpSocket *control, int piece)
{
    control->write(Greeting.value(piece));
    greetingSent_ = piece + 1;
    if (piece + 1 < Greeting.size())
        QTimer::singleShot(20, control, [this, control, piece] { SendGreeting(control, piece + 1); });
    else if (CloseAfterGreeting)
        control->disconnectFromHost();
}

void ScriptedFtpServer::Command(QTcpSocket *control, const QByteArray &line)
{
    dialogue += line;
    commandBeforeGreetingEnded |= greetingSent_ < Greeting.size();
    const QByteArray verb = line.trimmed().split(' ').value(0).toUpper();
    if (verb == "PORT") {
        const QList<QByteArray> numbers = line.trimmed().mid(5).split(',');
        dataPort = static_cast<quint16>(numbers.value(4).toInt() * 256 + numbers.value(5).toInt());
    }
    if (verb == "STOR" && !Replies.contains(verb))
        return Store(control);
    Reply(control, Replies.value(verb, QByteArrayLiteral("200 OK\r\n")));
}

void ScriptedFtpServer::Reply(QTcpSocket *control, const QByteArray &reply)
{
    if (reply == Close)
        return control->disconnectFromHost();
    if (reply == Reset)
        return ResetConnection(control);
    control->write(reply.endsWith(Close) ? reply.chopped(Close.size()) : reply);
    if (reply.endsWith(Close))
        control->disconnectFromHost();
}

void ScriptedFtpServer::Store(QTcpSocket *control)
{
    control->write("150 Opening data connection.\r\n");
    if (Data == DataMode::NeverConnect)
        return;
    auto *data = new QTcpSocket(this);
    QObject::connect(data, &QTcpSocket::readyRead, this, [this, data] {
        if (Data == DataMode::ResetOnFirstData) {
            QObject::disconnect(data, nullptr, this, nullptr);
            return ResetConnection(data);
        }
        received += data->readAll();
    });
    QObject::connect(data, &QTcpSocket::disconnected, this, [this, control, data] {
        received += data->readAll();
        control->write(Completion);
    });
    data->connectToHost(QHostAddress::LocalHost, dataPort);
}
