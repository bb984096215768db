#include "tests/net/NetTestSupport.h"
#include "tests/net/ServerFixture.h"

#include <QDir>
#include <QTest>

#include <algorithm>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

using namespace Qt::StringLiterals;

// Peers that misbehave, and loads that must neither spin the event loop nor stop the
// listener from serving a well-behaved client.
class TestServerFaults : public QObject {
    Q_OBJECT

private slots:
    void halfClosingPeerStillGetsItsAnswer();
    void halfClosingPeerWithNothingPendingIsClosed();
    void neverReadingPeerDoesNotHoldUpOthers();
    void tenMegabytesSentAtOnceAllArrive();
    void unreadDataIsReportedOnce();
    void urgentByteIsReadLikeAnyOther();
    void manyIdleConnectionsKeepTheLoopQuiet();
    void longestIdleConnectionGivesWayAtTheCap();
    void runningOutOfDescriptors_data();
    void runningOutOfDescriptors();
    void nestedLoopsInsideAConnectionsOwnEventsLeaveItValid();
};

namespace {

// Answers every request with the same bytes and closes, as the webcam server does.
void AnswerWith(ServerFixture &fixture, const QByteArray &answer)
{
    fixture.onRead = [answer](TCustomWinSocket *socket, const QByteArray &) {
        QVERIFY(socket->WriteStreamThenClose(BufferOf(answer)));
    };
}

bool Served(quint16 port, const QByteArray &answer)
{
    RawPeer client;
    return client.Connect(port) && client.Send("GET /") && client.ReceiveUntilClosed() == answer &&
           client.ClosedByServer();
}

bool LoopStaysQuiet()
{
    LoopCounter loop;
    PumpEvents(QuietWindowMs);
    if (loop.iterations >= QuietLoopLimit)
        qWarning("event loop went round %d times in %d ms", loop.iterations, QuietWindowMs);
    return loop.iterations < QuietLoopLimit;
}

} // namespace

void TestServerFaults::halfClosingPeerStillGetsItsAnswer()
{
    ServerFixture fixture;
    const QByteArray answer = Pattern(3 * 1024 * 1024);
    AnswerWith(fixture, answer);
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start(), true));
    QVERIFY(peer.Send("GET /"));
    peer.ShutdownWrite();
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("read:GET /")) == 1; }));
    QVERIFY(LoopStaysQuiet());
    QVERIFY2(fixture.Count(QStringLiteral("disconnect")) == 0, qPrintable(fixture.events.join(u' ')));
    QVERIFY(peer.ReceiveUntilClosed() == answer);
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("disconnect")) == 1; }));
}

void TestServerFaults::halfClosingPeerWithNothingPendingIsClosed()
{
    ServerFixture fixture;
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send("SAY:hello"));
    peer.ShutdownWrite();
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("disconnect")) == 1; }));
    QCOMPARE(fixture.events.filter(QStringLiteral("read:")), QStringList{QStringLiteral("read:SAY:hello")});
    peer.ReceiveUntilClosed();
    QVERIFY(peer.ClosedByServer());
    QVERIFY(LoopStaysQuiet());
}

void TestServerFaults::neverReadingPeerDoesNotHoldUpOthers()
{
    ServerFixture fixture;
    const QByteArray answer = Pattern(40 * 1024);
    const QByteArray huge = Pattern(16 * 1024 * 1024);
    fixture.onRead = [&](TCustomWinSocket *socket, const QByteArray &text) {
        QVERIFY(socket->WriteStreamThenClose(BufferOf(text == "HUGE" ? huge : answer)));
    };
    const quint16 port = fixture.Start();
    RawPeer stuck;
    QVERIFY(stuck.Connect(port, true));
    QVERIFY(stuck.Send("HUGE"));
    QVERIFY(PumpUntil([&] { return fixture.last && fixture.last->HasPendingStream(); }));
    TCustomWinSocket *const stuckSocket = fixture.last;
    QVERIFY(LoopStaysQuiet());
    for (int i = 0; i < 5; ++i)
        QVERIFY(Served(port, answer));
    QVERIFY(stuckSocket->Connected());
    QVERIFY(stuckSocket->HasPendingStream());
    stuck.Close();
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == 0; }));
}

void TestServerFaults::tenMegabytesSentAtOnceAllArrive()
{
    ExceptionRecorder exceptions;
    ServerFixture fixture;
    const QByteArray upload = Pattern(10 * 1024 * 1024);
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send(upload));
    QVERIFY(PumpUntil([&] { return fixture.received.size() == upload.size(); }, 30000));
    QVERIFY(fixture.received == upload);
    QVERIFY(fixture.events.filter(QStringLiteral("read:")).size() > 1);
    QVERIFY(exceptions.messages.isEmpty());
    QVERIFY(LoopStaysQuiet());
}

// A handler that leaves the data where it is hears of it once, not on every round of the loop.
void TestServerFaults::unreadDataIsReportedOnce()
{
    ServerFixture fixture;
    int readEvents = 0;
    TCustomWinSocket *connection = nullptr;
    fixture.server.OnClientRead = [&](QObject *, TCustomWinSocket *socket) {
        ++readEvents;
        connection = socket;
    };
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QVERIFY(peer.Send("later"));
    QVERIFY(PumpUntil([&] { return readEvents == 1; }));
    QVERIFY(LoopStaysQuiet());
    QCOMPARE(readEvents, 1);
    QCOMPARE(connection->ReadAvailableText(), QByteArray("later"));
    QVERIFY(peer.Send("more"));
    QVERIFY(PumpUntil([&] { return readEvents == 2; }));
}

void TestServerFaults::urgentByteIsReadLikeAnyOther()
{
    ServerFixture fixture;
    RawPeer peer;
    QVERIFY(peer.Connect(fixture.Start()));
    QCOMPARE(::send(peer.Handle(), "!", 1, MSG_OOB | MSG_NOSIGNAL), 1);
    QVERIFY(peer.Send("x"));
    // In line with the data: no read stops short at the urgent mark and leaves the socket readable.
    QVERIFY(PumpUntil([&] { return fixture.events.filter(u"read:"_s).join(QString()).remove(u"read:"_s) == u"!x"_s; }));
    peer.Close();
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("disconnect")) == 1; }));
    QVERIFY(LoopStaysQuiet());
}

void TestServerFaults::manyIdleConnectionsKeepTheLoopQuiet()
{
    ServerFixture fixture;
    const QByteArray answer = Pattern(1000);
    AnswerWith(fixture, answer);
    const quint16 port = fixture.Start();
    constexpr int idleCount = 2000;
    std::vector<std::unique_ptr<RawPeer>> idle;
    for (int i = 0; i < idleCount; ++i) {
        idle.push_back(std::make_unique<RawPeer>());
        QVERIFY(idle.back()->Connect(port));
    }
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == idleCount; }, 60000));
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == fixture.server.MaxConnections(); }));
    QVERIFY(LoopStaysQuiet());
    QVERIFY(Served(port, answer));
    idle.clear();
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == 0; }, 30000));
}

void TestServerFaults::longestIdleConnectionGivesWayAtTheCap()
{
    ServerFixture fixture;
    fixture.server.SetMaxConnections(3);
    const quint16 port = fixture.Start();
    RawPeer first, second, third, fourth;
    int connected = 0;
    for (RawPeer *peer : {&first, &second, &third}) {
        QVERIFY(peer->Connect(port));
        ++connected;
        QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == connected; }));
    }
    QVERIFY(first.Send("still here"));
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("read:still here")) == 1; }));

    QVERIFY(fourth.Connect(port));
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == 4; }));
    second.ReceiveUntilClosed();
    QVERIFY(second.ClosedByServer());
    QCOMPARE(fixture.Count(QStringLiteral("disconnect")), 1);
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == 3; }));
    for (RawPeer *peer : {&first, &third, &fourth}) {
        peer->ReceiveAtLeast(1, 50);
        QVERIFY(!peer->ClosedByServer());
    }
}

// Without a free descriptor a newcomer waits in the queue, the loop quiet, until one is free
// again; when an idle connection holds one, the idlest gives way at once instead.
void TestServerFaults::runningOutOfDescriptors_data()
{
    QTest::addColumn<bool>("idleConnection");
    QTest::newRow("nobody to give way") << false;
    QTest::newRow("the idlest gives way") << true;
}

void TestServerFaults::runningOutOfDescriptors()
{
    QFETCH(bool, idleConnection);
    ServerFixture fixture;
    const quint16 port = fixture.Start();
    RawPeer idle, waiting;
    if (idleConnection)
        QVERIFY(idle.Connect(port) && PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == 1; }));
    const int before = fixture.Count(QStringLiteral("connect"));

    int highest = 0;
    for (const QString &name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
        highest = std::max(highest, name.toInt());
    rlimit original{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &original), 0);
    rlimit lowered = original;
    lowered.rlim_cur = static_cast<rlim_t>(highest + 2);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        fillers.push_back(fd);
    ::close(fillers.back()); // room for the peer's socket, none for the server's side
    fillers.pop_back();

    const bool connected = waiting.Connect(port);
    const bool quiet = idleConnection || LoopStaysQuiet();
    const bool acceptedWhileFull =
        PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) > before; }, idleConnection ? 10000 : 0);
    for (int fd : fillers)
        ::close(fd);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &original), 0);

    QVERIFY(connected);
    QVERIFY(quiet);
    QCOMPARE(acceptedWhileFull, idleConnection);
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == before + 1; }));
    if (idleConnection) {
        idle.ReceiveUntilClosed();
        QVERIFY(idle.ClosedByServer());
    }
}

// The exception display and a disconnect handler each run a nested loop, as a message box
// does. Meanwhile the peer goes, and a newcomer finds the cap reached while the only other
// connection is inside its own disconnect event: nothing is freed under a running event,
// and accepting goes on.
void TestServerFaults::nestedLoopsInsideAConnectionsOwnEventsLeaveItValid()
{
    ServerFixture fixture;
    fixture.server.SetMaxConnections(1);
    const quint16 port = fixture.Start();
    RawPeer first, second;
    fixture.onRead = [](TCustomWinSocket *, const QByteArray &) { throw std::runtime_error("handler failed"); };
    SetSocketExceptionDisplay([&] {
        first.Close();
        PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == 2; });
        PumpEvents(20);
    });
    fixture.onDisconnect = [&](TCustomWinSocket *) {
        if (fixture.Count(QStringLiteral("connect")) == 1)
            second.Connect(port);
    };
    QVERIFY(first.Connect(port));
    QVERIFY(first.Send("boom"));
    QVERIFY(PumpUntil([&] { return fixture.Count(QStringLiteral("connect")) == 2; }));
    SetSocketExceptionDisplay(nullptr);
    fixture.onRead = nullptr;
    second.Close();
    QVERIFY(PumpUntil([&] { return fixture.server.Socket()->ActiveConnections() == 0; }));
    AnswerWith(fixture, "fine");
    QVERIFY(Served(port, "fine"));
}

QTEST_GUILESS_MAIN(TestServerFaults)
#include "TestServerFaults.moc"
