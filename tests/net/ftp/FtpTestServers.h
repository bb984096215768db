#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

// Real pyftpdlib on 127.0.0.1 (ftp_server.py): "vantrel"/"secret" writes Folder(),
// "refused"/"secret" gets 553 for STOR. Stopped with its process by the destructor.
class PyFtpServer {
public:
    // port 0: one the system picks.
    explicit PyFtpServer(quint16 port = 0);
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer &) = delete;
    PyFtpServer &operator=(const PyFtpServer &) = delete;

    quint16 Port() const { return port_; }
    QString Folder() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};

// An FTP server that follows a script, for replies no real server gives. It records the
// control bytes it receives, answers each command from Replies (default "200 OK"; an empty
// reply holds the command unanswered, Close and Reset end the connection instead, a reply
// ending in Close is sent and then the connection closed), and for
// STOR connects to the PORT address, takes the data and sends Completion.
class ScriptedFtpServer : public QObject {
public:
    enum class DataMode { Receive, NeverConnect, ResetOnFirstData };
    static inline const QByteArray Close = QByteArrayLiteral("<close>");
    static inline const QByteArray Reset = QByteArrayLiteral("<reset>");

    // port 0: one the system picks.
    explicit ScriptedFtpServer(quint16 port = 0);
    quint16 Port() const { return server_.serverPort(); }
    // Ends every control connection from the server's side.
    void CloseControlConnections();
    // Sends a reply that was held back, on every control connection.
    void Answer(const QByteArray &reply);

    QList<QByteArray> Greeting{QByteArrayLiteral("220 Scripted\r\n")}; // pieces, 20 ms apart
    bool CloseAfterGreeting = false;
    QHash<QByteArray, QByteArray> Replies;
    DataMode Data = DataMode::Receive;
    QByteArray Completion = QByteArrayLiteral("226 Transfer complete.\r\n");

    QByteArray dialogue;
    QByteArray received; // over the data connection
    quint16 dataPort = 0;
    int connections = 0;
    int closedConnections = 0; // control connections that have ended, from either side
    bool commandBeforeGreetingEnded = false;

private:
    void Accept();
    void SendGreeting(QTcpSocket *control, int piece);
    void Command(QTcpSocket *control, const QByteArray &line);
    void Store(QTcpSocket *control);
    void Reply(QTcpSocket *control, const QByteArray &reply);

    QTcpServer server_;
    QList<QTcpSocket *> controls_;
    int greetingSent_ = 0;
    QByteArray pending_;
};
