#include "app/RunningProgram.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int AnswerWithinMs = 2000;
const QByteArray Forward = QByteArrayLiteral("forward\n");

} // namespace

QString RunningProgram::NameFor(const QByteArray &settingsFile)
{
    const QString path = QFileInfo(QFile::decodeName(settingsFile)).absoluteFilePath();
    const QByteArray digest = QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("vantrel-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest.left(24)));
}

bool RunningProgram::AskForward(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(AnswerWithinMs))
        return false;
    socket.write(Forward);
    socket.waitForBytesWritten(AnswerWithinMs);
    socket.disconnectFromServer();
    return true;
}

bool RunningProgram::Listen(const QString &name)
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(name)) {
        QLocalServer::removeServer(name);
        if (!server_.listen(name))
            return false;
    }
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *asking = server_.nextPendingConnection()) {
            connect(asking, &QLocalSocket::disconnected, asking, &QObject::deleteLater);
            connect(asking, &QLocalSocket::readyRead, this, [this, asking] {
                if (asking->readAll().contains(Forward.trimmed()) && OnAskedForward)
                    OnAskedForward();
            });
        }
    });
    return true;
}
