// The real program, started with its server enabled from the settings file, seen from outside:
// a real browser on the page, floods of connections and messages.
#include "tests/net/NetTestSupport.h"
#include "tests/support/BlackBox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int StartTimeoutMs = 30000;

struct ServingProgram {
    explicit ServingProgram(const QByteArray &moreSettings = {})
        : program("[FormMain]\nEnabled=1\nPort=" + QByteArray::number(port) + "\n" + moreSettings)
    {
    }

    quint16 port = FreeServerPort();
    BlackBoxVantrel program;

    bool start()
    {
        return port != 0 && program.start() &&
               program.waitForLogLineEndingWith(u"Initialization Successful"_s, StartTimeoutMs);
    }

    QByteArray exchange(const QByteArray &request)
    {
        RawPeer peer;
        if (!peer.Connect(port))
            return "<refused>";
        peer.Send(request);
        return peer.ReceiveUntilClosed();
    }
};

} // namespace

class TestServerEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void browserShowsTheMovingTestPattern_data();
    void browserShowsTheMovingTestPattern();
    void browserAsksForTheViewerPasswordThenShowsThePicture();
    void idleConnectionsDoNotStarveTheServer();
    void floodOfMessagesOpensAFewBoxesAndLogsTheRest();
};

void TestServerEndToEnd::browserShowsTheMovingTestPattern_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("distinct");
    QTest::newRow("index page") << u"stream.mjs"_s << QStringList{u"--frames"_s, u"30"_s,  u"--width"_s,   u"320"_s,
                                                                  u"--height"_s, u"240"_s, u"--seconds"_s, u"10"_s}
                                << 30;
    // 100 different pictures: about 4 s of the 30 a second the camera gives, with room for a busy machine.
    QTest::newRow("stream in an img") << u"mjpeg_img.mjs"_s
                                      << QStringList{u"--frames"_s, u"100"_s, u"--seconds"_s, u"10"_s} << 100;
}

void TestServerEndToEnd::browserShowsTheMovingTestPattern()
{
    QFETCH(QString, script);
    QFETCH(QStringList, options);
    QFETCH(int, distinct);
    ServingProgram serving;
    QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));
    const QString node = QStandardPaths::findExecutable(u"node"_s);
    QVERIFY2(!node.isEmpty(), "node is needed for the browser test (scripts/setup.sh installs it)");

    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(node, QStringList{QStringLiteral(VANTREL_SOURCE_DIR "/tests/browser/") + script,
                                    u"http://127.0.0.1:%1/"_s.arg(serving.port)} +
                            options);
    QVERIFY(browser.waitForFinished(90000));
    const QByteArray output = browser.readAllStandardOutput();
    const QJsonObject result = QJsonDocument::fromJson(output.trimmed().split('\n').constLast()).object();
    QVERIFY2(browser.exitCode() == 0, output.constData());
    QVERIFY2(result.value(u"distinct"_s).toInt() >= distinct, output.constData());
}

void TestServerEndToEnd::browserAsksForTheViewerPasswordThenShowsThePicture()
{
    ServingProgram serving("ViewerUser=viewer\nViewerPassword=sésame\n");
    QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));
    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(QStandardPaths::findExecutable(u"node"_s),
                  {QStringLiteral(VANTREL_SOURCE_DIR "/tests/browser/viewer_password.mjs"),
                   u"http://127.0.0.1:%1/"_s.arg(serving.port), u"viewer"_s, u"sésame"_s});
    QVERIFY(browser.waitForFinished(90000));
    const QByteArray output = browser.readAllStandardOutput();
    QVERIFY2(browser.exitCode() == 0, output.constData());
    QVERIFY(output.contains("\"challenge\":\"Basic realm=\\\"Vantrel\\\", charset=\\\"UTF-8\\\"\""));
    // Both browsers were refused at first (one of them before it offered the password): one line.
    QVERIFY(
        serving.program.waitForLogLineEndingWith(u"Refused a request from 127.0.0.1: no or wrong viewer password"_s));
    QCOMPARE(serving.program.logLines().filter(u"Refused"_s).size(), 1);
}

void TestServerEndToEnd::idleConnectionsDoNotStarveTheServer()
{
    ServingProgram serving;
    QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));
    std::vector<std::unique_ptr<RawPeer>> idle;
    for (int i = 0; i < 1000; ++i) {
        auto peer = std::make_unique<RawPeer>();
        if (peer->Connect(serving.port))
            idle.push_back(std::move(peer));
    }
    QVERIFY(idle.size() > 900);
    QVERIFY(serving.exchange("GET /pic1.jpg\n").startsWith("\xff\xd8"));
    QVERIFY(serving.exchange("GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.0 200 OK\r\n"));
}

void TestServerEndToEnd::floodOfMessagesOpensAFewBoxesAndLogsTheRest()
{
    ServingProgram serving;
    QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));
    std::vector<std::unique_ptr<RawPeer>> senders;
    for (int i = 0; i < 100; ++i) {
        auto peer = std::make_unique<RawPeer>();
        QVERIFY(peer->Connect(serving.port));
        QVERIFY(peer->Send("MSG:hello " + QByteArray::number(i) + "\n"));
        senders.push_back(std::move(peer));
    }
    // The box waits for a person; the server keeps answering meanwhile. One peer gets one box
    // every few seconds, and what it sends in between is logged once.
    QTRY_VERIFY_WITH_TIMEOUT(serving.program.logLines().filter(u"Received MSG from 127.0.0.1"_s).size() == 100, 20000);
    QCOMPARE(serving.program.logLines().filter(u"not shown"_s).size(), 1);
    QVERIFY(serving.exchange("GET /pic2.jpg\n").startsWith("\xff\xd8"));
}

QTEST_GUILESS_MAIN(TestServerEndToEnd)
#include "TestServerEndToEnd.moc"
