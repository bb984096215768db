#include "net/ESocketError.h"
#include "net/SocketErrors.h"

#include <QTest>

#include <cerrno>

// The platform's errors read the same as on the components' home platform.
class TestSocketErrors : public QObject {
    Q_OBJECT

private slots:
    void errnoMapsToTheTable_data();
    void errnoMapsToTheTable();
    void messagesAreFilledIn();
};

void TestSocketErrors::errnoMapsToTheTable_data()
{
    QTest::addColumn<int>("errnoValue");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("reset") << ECONNRESET << 10054 << QStringLiteral("Connection reset by peer");
    QTest::newRow("broken pipe reads as reset") << EPIPE << 10054 << QStringLiteral("Connection reset by peer");
    QTest::newRow("refused") << ECONNREFUSED << 10061 << QStringLiteral("Connection refused");
    QTest::newRow("in use") << EADDRINUSE << 10048 << QStringLiteral("Address already in use");
    QTest::newRow("would block") << EAGAIN << 10035 << QStringLiteral("Operation would block");
    QTest::newRow("no descriptors") << EMFILE << 10024 << QStringLiteral("Too many open files");
    QTest::newRow("system-wide no descriptors") << ENFILE << 10024 << QStringLiteral("Too many open files");
    QTest::newRow("unreachable") << EHOSTUNREACH << 10065 << QStringLiteral("No route to Host");
}

void TestSocketErrors::errnoMapsToTheTable()
{
    QFETCH(int, errnoValue);
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(SocketErrors::FromErrno(errnoValue), code);
    QCOMPARE(SocketErrors::Text(code), text);
}

void TestSocketErrors::messagesAreFilledIn()
{
    QCOMPARE(ESocketError::Platform(10054, "recv").message(),
             QStringLiteral("Windows socket error: Connection reset by peer (10054), on API 'recv'"));
    QCOMPARE(ESocketError::Platform(11001, "ASync Lookup").message(),
             QStringLiteral("Windows socket error: Host not found (11001), on API 'ASync Lookup'"));
    QCOMPARE(ESocketError::Asynchronous(10053).message(), QStringLiteral("Asynchronous socket error 10053"));
    QCOMPARE(QString::fromUtf8(ESocketError::Asynchronous(10053).what()),
             QStringLiteral("Asynchronous socket error 10053"));
    QCOMPARE(SocketErrors::Text(99999), QStringLiteral("Unrecognized error code"));
}

QTEST_GUILESS_MAIN(TestSocketErrors)
#include "TestSocketErrors.moc"
