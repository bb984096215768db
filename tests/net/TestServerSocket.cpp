#include "tests/net/NetTestSupport.h"
#include "tests/net/ServerFixture.h"

#include "net/ESocketError.h"

#include <QTest>

#include <sys/socket.h>

namespace {
// A small send buffer makes a stream wait for the peer soon.
void ShrinkSendBuffer(TCustomWinSocket *socket)
{
    const int size = 4096;
    ::setsockopt(socket->SocketHandle(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}
} // namespace

class TestServerSocket : public QObject {
    Q_OBJECT

private slots:
    void acceptedConnectionHearsConnectBeforeAnyRead();
    void requestInTwoSegmentsGivesTwoReadEvents();
    void writeTextAndStreamKeepTheConnectionOpen();
    void emptyStreamClosesAtOnce();
    void secondStreamIsRefusedWhileOneIsPending();
    void closeConnectionFiresDisconnectWithPeerAddress();
    void stoppingEndsConnectionsWithoutEvents();
    void stoppingFromAHandlerIsSafe();
    void bindToAPortInUseLeavesTheServerInactive();
    void propertiesCannotChangeWhileActive();
    void resetIsADisconnectKindError_data();
    void resetIsADisconnectKindError();
};

void TestServerSocket::acceptedConnectionHearsConnectBeforeAnyRead()
{
    ServerFixture fixture;
    const quint16 port = fixture.Start();
    QVERIFY(fixture.server.Active());
    QCOMPARE(fixture.events, QStringList{QStringLiteral("listen")});
    QCOMPARE(fixture.server.ThreadCacheSize(), 10);

    RawPeer peer;
    QVERIFY(peer.Connect(port));
    QVERIFY(peer.Send("GET /PIC\r\n"));
    QVERIFY(PumpUntil([&] { return fixture.events.size() == 4; }));
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("listen"), QStringLiteral("connect"), QStringLiteral("accept"),
                                          QStringLiteral("read:GET /PIC\r\n")}));
    QVERIFY(fixture.senderWasListener);
    QCOMPARE(fixture.last->PeerAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(fixture.server.Socket()->ActiveConnections(), 1);
}

void TestServerSocket::requestInTwoSegmentsGivesTwoReadEvents()
{
    ServerFixture fixture;
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send("GET /"));
    QVERIFY(PumpUntil([&] { return fixture.events.contains(QStringLiteral("read:GET /")); }));
    QVERIFY(peer.Send("PIC\r\n"));
    QVERIFY(PumpUntil([&] { return fixture.events.contains(QStringLiteral("read:PIC\r\n")); }));
    QCOMPARE(fixture.received, QByteArray("GET /PIC\r\n"));
}

void TestServerSocket::writeTextAndStreamKeepTheConnectionOpen()
{
    ServerFixture fixture;
    fixture.onRead = [](TCustomWinSocket *socket, const QByteArray &text) {
        if (text == "text")
            QCOMPARE(socket->WriteText("plain answer;"), 13);
        else
            QVERIFY(socket->WriteStream(BufferOf("streamed answer;")));
    };
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send("text"));
    QCOMPARE(peer.ReceiveAtLeast(13), QByteArray("plain answer;"));
    QVERIFY(peer.Send("stream"));
    QCOMPARE(peer.ReceiveAtLeast(16), QByteArray("streamed answer;"));
    QVERIFY(peer.Send("again"));
    QVERIFY(PumpUntil([&] { return fixture.events.contains(QStringLiteral("read:again")); }));
    QVERIFY(!peer.ClosedByServer());
    QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 0);
}

void TestServerSocket::emptyStreamClosesAtOnce()
{
    ServerFixture fixture;
    bool closedDuringCall = false;
    fixture.onRead = [&](TCustomWinSocket *socket, const QByteArray &) {
        QVERIFY(socket->WriteStreamThenClose(BufferOf({})));
        closedDuringCall = fixture.Count(QStringLiteral("disconnect")) == 1;
        QVERIFY(!socket->Connected());
        QVERIFY(socket->PeerAddress().isEmpty());
    };
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send("GET /"));
    QCOMPARE(peer.ReceiveUntilClosed(), QByteArray());
    QVERIFY(peer.ClosedByServer());
    QVERIFY(closedDuringCall);
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == 0; }));
}

// The first stream keeps its close even though the second asked for one and was refused.
void TestServerSocket::secondStreamIsRefusedWhileOneIsPending()
{
    ServerFixture fixture;
    const QByteArray big = Pattern(1024 * 1024);
    bool refused = false;
    bool kept = false;
    fixture.onRead = [&](TCustomWinSocket *socket, const QByteArray &) {
        ShrinkSendBuffer(socket);
        QVERIFY(socket->WriteStreamThenClose(BufferOf(big)));
        QVERIFY(socket->HasPendingStream());
        std::unique_ptr<QIODevice> second = BufferOf("second");
        refused = !socket->WriteStreamThenClose(second) && !socket->WriteStream(second);
        kept = second != nullptr && second->readAll() == "second";
    };
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start(), true));
    QVERIFY(peer.Send("GET /"));
    QVERIFY(PumpUntil([&] { return fixture.events.size() >= 4; }));
    QVERIFY(refused);
    QVERIFY(kept);
    const QByteArray answer = peer.ReceiveUntilClosed();
    QVERIFY(peer.ClosedByServer());
    QCOMPARE(answer.size(), big.size());
    QVERIFY(answer == big);
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("disconnect")) == 1; }));
}

void TestServerSocket::closeConnectionFiresDisconnectWithPeerAddress()
{
    ServerFixture fixture;
    QString addressDuringDisconnect;
    bool stillConnected = false;
    fixture.onDisconnect = [&](TCustomWinSocket *socket) {
        addressDuringDisconnect = socket->PeerAddress();
        stillConnected = socket->Connected();
        socket->CloseConnection(); // a second close finds the connection gone
    };
    fixture.onRead = [&](TCustomWinSocket *socket, const QByteArray &) {
        socket->CloseConnection();
        QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 1);
        QVERIFY(!socket->Connected());
        QCOMPARE(socket->WriteText("late"), 0);
        QVERIFY(!socket->WriteStream(BufferOf("late")));
        QCOMPARE(fixture.server.Socket()->ActiveConnections(), 1);
    };
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send("QUIT"));
    peer.ReceiveUntilClosed();
    QVERIFY(peer.ClosedByServer());
    QCOMPARE(addressDuringDisconnect, QStringLiteral("127.0.0.1"));
    QVERIFY(stillConnected);
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == 0; }));
    QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 1);
}

void TestServerSocket::stoppingEndsConnectionsWithoutEvents()
{
    ServerFixture fixture;
    const quint16 port = fixture.Start();
    RawPeer idle, streaming;
    QVERIFY(idle.Connect(port));
    QVERIFY(streaming.Connect(port, true));
    fixture.onRead = [](TCustomWinSocket *socket, const QByteArray &) {
        QVERIFY(socket->WriteStream(BufferOf(Pattern(8 * 1024 * 1024))));
    };
    QVERIFY(streaming.Send("GET /"));
    QVERIFY(PumpUntil([&] { return fixture.last && fixture.last->HasPendingStream(); }));
    QCOMPARE(fixture.server.Socket()->ActiveConnections(), 2);

    fixture.server.SetActive(false);
    QVERIFY(!fixture.server.Active());
    QCOMPARE(fixture.server.Socket()->ActiveConnections(), 0);
    QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 0);
    idle.ReceiveUntilClosed();
    QVERIFY(idle.ClosedByServer());
    RawPeer late;
    QVERIFY(!late.Connect(port));
}

void TestServerSocket::stoppingFromAHandlerIsSafe()
{
    ServerFixture fixture;
    const quint16 port = fixture.Start();
    fixture.onRead = [&](TCustomWinSocket *socket, const QByteArray &) {
        fixture.server.SetActive(false);
        QVERIFY(!socket->Connected());
        QCOMPARE(socket->WriteText("after stop"), 0);
    };
    RawPeer first, second;
    QVERIFY(first.Connect(port));
    QVERIFY(second.Connect(port));
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == 2; }));
    QVERIFY(first.Send("QUIT"));
    first.ReceiveUntilClosed();
    second.ReceiveUntilClosed();
    QVERIFY(first.ClosedByServer());
    QVERIFY(second.ClosedByServer());
    QVERIFY(!fixture.server.Active());
    PumpEvents(20);
    QCOMPARE(fixture.server.Socket()->ActiveConnections(), 0);
}

void TestServerSocket::bindToAPortInUseLeavesTheServerInactive()
{
    ServerFixture holder;
    const quint16 port = holder.Start();
    holder.server.SetActive(true); // a second Active true does nothing
    QVERIFY(holder.server.Active());

    ServerFixture second;
    second.server.SetPort(port);
    try {
        second.server.SetActive(true);
        QFAIL("bind to a port in use did not raise");
    } catch (const ESocketError &error) {
        QCOMPARE(error.message(),
                 QStringLiteral("Windows socket error: Address already in use (10048), on API 'bind'"));
    }
    QVERIFY(!second.server.Active());
    QCOMPARE(second.server.Socket()->SocketHandle(), -1);

    RawPeer peer;
    QVERIFY(peer.Connect(port));
    QVERIFY(PumpUntil([&] { return holder.Count(QStringLiteral("connect")) == 1; }));
}

void TestServerSocket::propertiesCannotChangeWhileActive()
{
    ServerFixture fixture;
    fixture.server.SetHost(QStringLiteral("Example"));
    fixture.Start();
    fixture.server.SetPort(fixture.server.Port());
    fixture.server.SetHost(QStringLiteral("EXAMPLE"));
    fixture.server.SetServerType(TServerType::stNonBlocking);
    const auto expectRefusal = [](const std::function<void()> &change) {
        try {
            change();
        } catch (const ESocketError &error) {
            return error.message() == QStringLiteral("Can't change value while socket is active");
        }
        return false;
    };
    QVERIFY(expectRefusal([&] { fixture.server.SetPort(fixture.server.Port() + 1); }));
    QVERIFY(expectRefusal([&] { fixture.server.SetHost(QStringLiteral("other")); }));
    QVERIFY(expectRefusal([&] { fixture.server.SetAddress(QStringLiteral("127.0.0.1")); }));
    QVERIFY(expectRefusal([&] { fixture.server.SetService(QStringLiteral("http")); }));
    QVERIFY(expectRefusal([&] { fixture.server.SetServerType(TServerType::stThreadBlocking); }));
    fixture.server.SetActive(false);
    fixture.server.SetPort(fixture.server.Port() + 1);
}

void TestServerSocket::resetIsADisconnectKindError_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::newRow("handler clears the code") << true;
    QTest::newRow("code left to the component") << false;
}

// The connection stays listed and open after the error; the peer's end is reported once.
void TestServerSocket::resetIsADisconnectKindError()
{
    QFETCH(bool, cleared);
    ExceptionRecorder exceptions;
    ServerFixture fixture;
    fixture.clearErrors = cleared;
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == 1; }));
    peer.Reset();
    const QString error = QStringLiteral("error:%1:10054").arg(static_cast<int>(TErrorEvent::eeDisconnect));
    QVERIFY(PumpUntil([&] { return fixture.events.contains(error); }));

    LoopCounter loop;
    PumpEvents(QuietWindowMs);
    QVERIFY2(loop.iterations < QuietLoopLimit, qPrintable(QString::number(loop.iterations)));
    QCOMPARE(fixture.Count(error), 1);
    QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 0);
    QCOMPARE(fixture.server.Socket()->ActiveConnections(), 1);
    QVERIFY(fixture.last->Connected());
    QCOMPARE(exceptions.messages,
             cleared ? QStringList() : QStringList{QStringLiteral("Asynchronous socket error 10054")});
    fixture.last->CloseConnection();
    QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 1);
}

QTEST_GUILESS_MAIN(TestServerSocket)
#include "TestServerSocket.moc"
