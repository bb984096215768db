#include "tests/net/NetTestSupport.h"
#include "tests/net/ftp/FtpFixture.h"
#include "tests/net/ftp/FtpTestServers.h"
#include "tests/support/UnknownHosts.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QTest>
#include <QTimer>

class TestFtpSession : public QObject {
    Q_OBJECT

private slots:
    void multiLineGreetingIsReadBeforeUser();
    void refusedLogin_data();
    void refusedLogin();
    void userAcceptedWithoutPassword();
    void oddReplies_data();
    void oddReplies();
    void refusedCommandGoesToFailureHandler();
    void quitReplyRefusalRaisesAfterClosing();
    void idleComponentSendsNothing();
    void idleSessionNeitherSpinsNorMissesTheClose();
    void silentServerEndsAtTheTimeLimit();
    void unreachableOrUnknownHost();
};

void TestFtpSession::multiLineGreetingIsReadBeforeUser()
{
    ScriptedFtpServer server;
    server.Greeting = {"220-Welcome\r\n", "220-to the test\r\n", "220 server\r\n"};
    server.Replies["USER"] = "331 Password please.\r\n";
    server.Replies["PASS"] = "230 Logged in.\r\n";
    FtpFixture fixture(server.Port());
    QCOMPARE(fixture.Run([&] { QVERIFY(fixture.ftp.Connected()); }), QString());
    QVERIFY(!server.commandBeforeGreetingEnded);
    QCOMPARE(server.dialogue, QByteArray("USER vantrel\r\nPASS secret\r\n"));
    QCOMPARE(fixture.events, QStringList{QStringLiteral("connect")});
    // A connected session ignores a second Connect.
    QCOMPARE(FtpFixture::Raised([&] { fixture.ftp.Connect(); }), QString());
    QCOMPARE(server.connections, 1);
}

void TestFtpSession::refusedLogin_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QByteArray>("passReply");
    QTest::addColumn<QByteArray>("dialogue");
    QTest::newRow("421 greeting") << QByteArray("421 Too many users.\r\n") << QByteArray() << QByteArray("QUIT\r\n");
    QTest::newRow("530 on PASS") << QByteArray("220 Hi\r\n") << QByteArray("530 Login incorrect.\r\n")
                                 << QByteArray("USER vantrel\r\nPASS secret\r\nQUIT\r\n");
}

void TestFtpSession::refusedLogin()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, passReply);
    QFETCH(QByteArray, dialogue);
    ScriptedFtpServer server;
    server.Greeting = {greeting};
    server.Replies["USER"] = "331 Password please.\r\n";
    server.Replies["PASS"] = passReply;
    server.Replies["QUIT"] = "221 Bye.\r\n";
    FtpFixture fixture(server.Port());
    const QString raised = fixture.Run();
    QCOMPARE(raised, QString::fromLatin1(passReply.isEmpty() ? greeting : passReply));
    QCOMPARE(fixture.events, QStringList{QStringLiteral("connectionFailed")});
    QVERIFY(!fixture.ftp.Connected());
    QTRY_COMPARE(server.dialogue, dialogue);
}

void TestFtpSession::userAcceptedWithoutPassword()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 No password needed.\r\n";
    server.Replies["QUIT"] = "221 Bye.\r\n";
    FtpFixture fixture(server.Port());
    QCOMPARE(fixture.Run([&] {
        fixture.ftp.Mode(3);
        fixture.ftp.Disconnect();
    }),
             QString());
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("connect"), QStringLiteral("success:14")}));
    QCOMPARE(server.dialogue, QByteArray("USER vantrel\r\nTYPE L 8\r\nQUIT\r\n"));
    QVERIFY(!fixture.ftp.Connected());
}

// Replies no server should send end the operation without a hang or unbounded memory.
void TestFtpSession::oddReplies_data()
{
    QTest::addColumn<QByteArrayList>("greeting"); // pieces, 20 ms apart
    QTest::addColumn<QByteArray>("userReply");
    QTest::addColumn<bool>("closeAfterGreeting");
    QTest::addColumn<QString>("raised");
    QTest::addColumn<QByteArray>("dialogue");
    const QByteArray longLine = "421" + QByteArray(300000, 'x') + "\r\n";
    QString cut = QString::fromLatin1(longLine.left(TPowersock::MaxLineBytes - 2)) + QStringLiteral("\r\n");
    const QByteArrayList hi{"220 Hi\r\n"};
    QTest::newRow("over-long greeting is cut")
        << QByteArrayList{longLine} << QByteArray() << false << cut << QByteArray("QUIT\r\n");
    QTest::newRow("binary USER reply") << hi << QByteArray("\x01\xff\x02junk\r\n") << false << QString()
                                       << QByteArray("USER vantrel\r\n");
    QTest::newRow("230- cut by a close") << hi << "230-Welcome\r\n" + ScriptedFtpServer::Close << false
                                         << TNMFTP::NoReplyText() << QByteArray("USER vantrel\r\n");
    QTest::newRow("greeting cut by a close")
        << QByteArrayList{"220 Hal"} << QByteArray() << true << TNMFTP::NoReplyText() << QByteArray();
    // Each line in time, the whole reply not: one deadline for the reply.
    QTest::newRow("greeting dripping past the time limit")
        << (QByteArrayList(60, "220-Wait\r\n") << "220 Hi\r\n") << QByteArray("230 In.\r\n") << false
        << QStringLiteral("Socket readln aborted: the server did not answer within 1 s") << QByteArray();
}

void TestFtpSession::oddReplies()
{
    QFETCH(QByteArrayList, greeting);
    QFETCH(QByteArray, userReply);
    QFETCH(bool, closeAfterGreeting);
    QFETCH(QString, raised);
    QFETCH(QByteArray, dialogue);
    ScriptedFtpServer server;
    server.Greeting = greeting;
    server.CloseAfterGreeting = closeAfterGreeting;
    server.Replies["USER"] = userReply;
    FtpFixture fixture(server.Port());
    fixture.ftp.SetTimeOut(1000);
    QCOMPARE(fixture.Run(), raised);
    QTRY_COMPARE(server.dialogue, dialogue);
}

void TestFtpSession::refusedCommandGoesToFailureHandler()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 In.\r\n";
    server.Replies["TYPE"] = "502 Not implemented.\r\n";
    FtpFixture fixture(server.Port());
    int unsupported = 0;
    fixture.ftp.OnUnSupportedFunction = [&](TCmdType kind) { unsupported += kind == cmdDoCommand; };
    QCOMPARE(fixture.Run([&] { fixture.ftp.Mode(1); }), QStringLiteral("502 Not implemented.\r\n"));
    fixture.handleFailures = true;
    QCOMPARE(fixture.Run([&] { fixture.ftp.Mode(2); }), QString());
    QCOMPARE(unsupported, 2);
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("connect"), QStringLiteral("failure:14"),
                                          QStringLiteral("connect"), QStringLiteral("failure:14")}));
}

void TestFtpSession::quitReplyRefusalRaisesAfterClosing()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 In.\r\n";
    server.Replies["QUIT"] = "500 What?\r\n";
    FtpFixture fixture(server.Port());
    fixture.ftp.SetVendor(7);
    QCOMPARE(fixture.Run(), QString());
    QCOMPARE(FtpFixture::Raised([&] { fixture.ftp.Disconnect(); }), QStringLiteral("500 What?\r\n"));
    QVERIFY(!fixture.ftp.Connected());
    QCOMPARE(fixture.ftp.Vendor(), TNMFTP::DefaultVendor);
}

void TestFtpSession::idleComponentSendsNothing()
{
    ScriptedFtpServer server;
    FtpFixture fixture(server.Port());
    QCOMPARE(FtpFixture::Raised([&] { fixture.ftp.Mode(3); }), QStringLiteral("Not Connected"));
    QCOMPARE(FtpFixture::Raised([&] { fixture.ftp.Disconnect(); }), QString());
    QTest::qWait(100);
    QCOMPARE(server.connections, 0);
    QVERIFY(fixture.events.isEmpty());
}

void TestFtpSession::idleSessionNeitherSpinsNorMissesTheClose()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 In.\r\n200 Unasked for.\r\n";
    FtpFixture fixture(server.Port());
    int iterations = 0;
    QCOMPARE(fixture.Run([&] {
        const LoopCounter counter;
        PumpEvents(QuietWindowMs); // a reply nobody reads yet must not keep the loop busy
        iterations = counter.iterations;
        server.Replies["NOOP"] = "200 NOOP ok.\r\n";
        fixture.ftp.DoCommand(QStringLiteral("NOOP")); // drops the stale line first
        QCOMPARE(fixture.ftp.LastReply(), QByteArray("200 NOOP ok.\r\n"));
        server.CloseControlConnections();
        QVERIFY(PumpUntil([&] { return !fixture.ftp.Connected(); }));
    }),
             QString());
    QVERIFY2(iterations < QuietLoopLimit, qPrintable(QString::number(iterations)));
}

void TestFtpSession::silentServerEndsAtTheTimeLimit()
{
    ScriptedFtpServer server;
    server.Greeting = {};
    FtpFixture fixture(server.Port());
    fixture.ftp.SetTimeOut(300);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(fixture.Run(), QStringLiteral("Socket readln aborted: the server did not answer within 0.3 s"));
    QCOMPARE(fixture.events, QStringList{QStringLiteral("connectionFailed")}); // as for a refused login
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!fixture.ftp.Connected());
    QTRY_COMPARE(server.closedConnections, 1);
    QCOMPARE(server.dialogue, QByteArray()); // no QUIT into a connection that stopped answering

    // Without a time limit only Cancel ends the wait, and the quit does not wait again.
    fixture.ftp.SetTimeOut(0);
    QTimer::singleShot(200, &fixture.ftp, [&] { fixture.ftp.Cancel(); });
    QCOMPARE(fixture.Run(), QStringLiteral("Socket readln aborted"));
    QVERIFY(!fixture.ftp.Connected());
}

void TestFtpSession::unreachableOrUnknownHost()
{
    FtpFixture refused(ScriptedFtpServer().Port()); // the server is gone when the client connects
    QCOMPARE(refused.Run(), QStringLiteral("Connection Failed"));
    QCOMPARE(refused.events, QStringList{QStringLiteral("connectionFailed")});

    UnknownHosts unknownHosts;
    FtpFixture unknown(21);
    unknown.ftp.SetHost(QStringLiteral("no-such-host.invalid"));
    unknown.ftp.SetTimeOut(5000);
    int invalidHost = 0;
    unknown.ftp.OnInvalidHost = [&](bool &handled) {
        ++invalidHost;
        handled = true; // asks for a second try, which fails the same way
    };
    QCOMPARE(unknown.Run(), QStringLiteral("Null Remote Address"));
    QCOMPARE(invalidHost, 1);
}

QTEST_GUILESS_MAIN(TestFtpSession)
#include "TestFtpSession.moc"
