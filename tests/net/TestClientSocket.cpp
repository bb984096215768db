#include "tests/net/NetTestSupport.h"
#include "tests/net/ServerFixture.h"
#include "tests/support/UnknownHosts.h"

#include "net/ESocketError.h"
#include "net/TClientSocket.h"

#include <QRegularExpression>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A client component that writes every event it hears into a list.
struct ClientFixture {
    ClientFixture()
    {
        const auto record = [this](const char *name) {
            return [this, name](QObject *sender, TCustomWinSocket *socket) {
                senderWasComponent = sender == &client && socket == client.Socket();
                events << QString::fromLatin1(name) + (client.Active() ? QStringLiteral("+") : QStringLiteral("-"));
            };
        };
        client.OnLookup = record("lookup");
        client.OnConnecting = record("connecting");
        client.OnConnect = record("connect");
        client.OnDisconnect = record("disconnect");
        client.OnWrite = record("write");
        client.OnRead = [this](QObject *, TCustomWinSocket *socket) { received += socket->ReadAvailableText(); };
        client.OnError = [this](QObject *, TCustomWinSocket *, TErrorEvent kind, int &code) {
            events << QStringLiteral("error:%1:%2").arg(static_cast<int>(kind)).arg(code);
            if (clearErrors)
                code = 0;
        };
    }

    TClientSocket client;
    QStringList events;
    QByteArray received;
    bool senderWasComponent = false;
    bool clearErrors = true;
};

// A port on 127.0.0.1 where nobody listens.
quint16 ClosedPort()
{
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(handle, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(handle, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(handle);
    return ntohs(address.sin_port);
}

QString RaisedBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const ESocketError &error) {
        return error.message();
    }
    return {};
}

} // namespace

class TestClientSocket : public QObject {
    Q_OBJECT

private slots:
    void dottedAddressConnectsReadsWritesAndCloses();
    void hostNameIsLookedUpFirst();
    void unresolvableHostClosesAndRaisesWithoutErrorEvent();
    void unknownServiceFailsTheLookup();
    void refusedConnectIsAConnectKindError_data();
    void refusedConnectIsAConnectKindError();
    void deactivatingBeforeConnectedDoesNothing();
    void peerCloseMakesTheComponentInactive();
    void openingTwiceOrWithoutAddressRaises();
};

void TestClientSocket::dottedAddressConnectsReadsWritesAndCloses()
{
    ServerFixture server;
    server.server.OnClientConnect = [&](QObject *, TCustomWinSocket *socket) {
        server.last = socket;
        socket->WriteText("hello client");
    };
    ClientFixture fixture;
    fixture.client.SetAddress(QStringLiteral("127.0.0.1"));
    fixture.client.SetPort(server.Start());
    fixture.client.SetActive(true);
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("lookup-"), QStringLiteral("connecting-")}));
    QVERIFY(!fixture.client.Active());

    QVERIFY(PumpUntil([&] { return fixture.received == "hello client"; }));
    QCOMPARE(fixture.events.mid(2, 2), (QStringList{QStringLiteral("connect+"), QStringLiteral("write+")}));
    QVERIFY(fixture.senderWasComponent);
    QVERIFY(fixture.client.Active());
    QCOMPARE(fixture.client.Socket()->PeerAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(RaisedBy([&] { fixture.client.SetPort(1); }), QStringLiteral("Can't change value while socket is active"));

    QCOMPARE(fixture.client.Socket()->WriteText("hello server"), 12);
    QVERIFY(PumpUntil([&] { return server.received == "hello server"; }));
    fixture.client.SetActive(false);
    QCOMPARE(fixture.events.last(), QStringLiteral("disconnect-"));
    QVERIFY(PumpUntil([&] { return server.Count(QStringLiteral("disconnect")) == 1; }));
    fixture.client.SetActive(false);
    QCOMPARE(fixture.events.count(QStringLiteral("disconnect-")), 1);
}

void TestClientSocket::hostNameIsLookedUpFirst()
{
    ServerFixture server;
    ClientFixture fixture;
    fixture.client.SetHost(QStringLiteral("localhost"));
    fixture.client.SetPort(server.Start());
    fixture.client.SetActive(true);
    QCOMPARE(fixture.events, QStringList{QStringLiteral("lookup-")});
    QVERIFY(PumpUntil([&] { return fixture.client.Active(); }));
    QCOMPARE(fixture.events.mid(0, 3),
             (QStringList{QStringLiteral("lookup-"), QStringLiteral("connecting-"), QStringLiteral("connect+")}));
    QVERIFY(PumpUntil([&] { return server.Count(QStringLiteral("connect")) == 1; }));
}

void TestClientSocket::unresolvableHostClosesAndRaisesWithoutErrorEvent()
{
    UnknownHosts unknownHosts;
    ExceptionRecorder exceptions;
    ClientFixture fixture;
    fixture.client.SetHost(QStringLiteral("no-such-host.invalid"));
    fixture.client.SetPort(80);
    fixture.client.SetActive(true);
    QVERIFY(PumpUntil([&] { return !exceptions.messages.isEmpty(); }, 30000));
    QCOMPARE(exceptions.messages.size(), 1);
    const QRegularExpression lookupFailure(
        QStringLiteral(R"(^Windows socket error: \S.* \(11001\), on API 'ASync Lookup'$)"));
    QVERIFY2(lookupFailure.match(exceptions.messages.constFirst()).hasMatch(),
             qPrintable(exceptions.messages.constFirst()));
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("lookup-"), QStringLiteral("disconnect-")}));
    QVERIFY(!fixture.client.Active());
    QCOMPARE(fixture.client.Socket()->SocketHandle(), -1);
}

void TestClientSocket::unknownServiceFailsTheLookup()
{
    ExceptionRecorder exceptions;
    ClientFixture fixture;
    fixture.client.SetAddress(QStringLiteral("127.0.0.1"));
    fixture.client.SetService(QStringLiteral("no-such-service"));
    fixture.client.SetActive(true);
    QVERIFY(PumpUntil([&] { return !exceptions.messages.isEmpty(); }));
    QCOMPARE(exceptions.messages.first(),
             QStringLiteral("Windows socket error: Valid name, no data record of requested type (11004), on API "
                            "'ASync Lookup'"));
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("lookup-"), QStringLiteral("disconnect-")}));
}

void TestClientSocket::refusedConnectIsAConnectKindError_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::newRow("handler clears the code") << true;
    QTest::newRow("code left to the component") << false;
}

// The failed attempt keeps no socket, so nothing is left to report the failure again.
void TestClientSocket::refusedConnectIsAConnectKindError()
{
    QFETCH(bool, cleared);
    ExceptionRecorder exceptions;
    ClientFixture fixture;
    fixture.clearErrors = cleared;
    fixture.client.SetAddress(QStringLiteral("127.0.0.1"));
    fixture.client.SetPort(ClosedPort());
    fixture.client.SetActive(true);
    const QString error = QStringLiteral("error:%1:10061").arg(static_cast<int>(TErrorEvent::eeConnect));
    QVERIFY(PumpUntil([&] { return fixture.events.contains(error); }));
    LoopCounter loop;
    PumpEvents(QuietWindowMs);
    QVERIFY(loop.iterations < QuietLoopLimit);
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("lookup-"), QStringLiteral("connecting-"), error}));
    QCOMPARE(exceptions.messages,
             cleared ? QStringList() : QStringList{QStringLiteral("Asynchronous socket error 10061")});
    QVERIFY(!fixture.client.Active());
    QCOMPARE(fixture.client.Socket()->SocketHandle(), -1);
}

void TestClientSocket::deactivatingBeforeConnectedDoesNothing()
{
    ServerFixture server;
    ClientFixture fixture;
    fixture.client.SetAddress(QStringLiteral("127.0.0.1"));
    fixture.client.SetPort(server.Start());
    fixture.client.SetActive(true);
    fixture.client.SetActive(false);
    QVERIFY(PumpUntil([&] { return fixture.client.Active(); }));
    QVERIFY(!fixture.events.contains(QStringLiteral("disconnect-")));
}

void TestClientSocket::peerCloseMakesTheComponentInactive()
{
    ServerFixture server;
    server.server.OnClientConnect = [](QObject *, TCustomWinSocket *socket) {
        socket->WriteStreamThenClose(BufferOf("bye"));
    };
    ClientFixture fixture;
    fixture.client.SetAddress(QStringLiteral("127.0.0.1"));
    fixture.client.SetPort(server.Start());
    fixture.client.SetActive(true);
    QVERIFY(PumpUntil([&] { return fixture.events.contains(QStringLiteral("disconnect-")); }));
    QCOMPARE(fixture.received, QByteArray("bye"));
    QVERIFY(!fixture.client.Active());
    LoopCounter loop;
    PumpEvents(QuietWindowMs);
    QVERIFY(loop.iterations < QuietLoopLimit);
}

void TestClientSocket::openingTwiceOrWithoutAddressRaises()
{
    ClientFixture fixture;
    QCOMPARE(RaisedBy([&] { fixture.client.SetActive(true); }), QStringLiteral("No address specified"));
    QVERIFY(!fixture.client.Active());
    QCOMPARE(fixture.client.Socket()->SocketHandle(), -1);

    ServerFixture server;
    fixture.client.SetAddress(QStringLiteral("127.0.0.1"));
    fixture.client.SetPort(server.Start());
    fixture.client.SetActive(true);
    QVERIFY(PumpUntil([&] { return fixture.client.Active(); }));
    QCOMPARE(RaisedBy([&] { fixture.client.SetActive(true); }), QStringLiteral("Socket already open"));
    QVERIFY(fixture.client.Active());
}

QTEST_GUILESS_MAIN(TestClientSocket)
#include "TestClientSocket.moc"
