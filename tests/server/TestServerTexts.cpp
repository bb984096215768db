// The server's reading of requests and the texts of its answers, without a window or a socket.
#include "live/WhepOffer.h"
#include "server/CommandText.h"
#include "server/HeadGathering.h"
#include "server/HttpFraming.h"
#include "server/RequestDispatch.h"

#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using request::Kind;

Q_DECLARE_METATYPE(request::Kind)

class TestServerTexts : public QObject {
    Q_OBJECT

private slots:
    void headIsThirtyCharactersWithLettersUpperCased();
    void dispatchTakesTheFirstMatchingPrefix_data();
    void dispatchTakesTheFirstMatchingPrefix();
    void windowPictureChoiceIsTheCharacterAfterChart();
    void httpVersionIsRecognisedOnTheFirstLineOnly_data();
    void httpVersionIsRecognisedOnTheFirstLineOnly();
    void httpHeadCarriesLengthTypeAndConnection();
    void redirectToHttpsTakesOnlyAHostAndAPath_data();
    void redirectToHttpsTakesOnlyAHostAndAPath();
    void bodyIsGatheredToItsAnnouncedLength();
    void offerGivesTheConstrainedBaselineFormat();
    void offerRefusesStaticPayloadsAndBrowsersThatDoNotReceive_data();
    void offerRefusesStaticPayloadsAndBrowsersThatDoNotReceive();
    void messageTextDropsKeywordAndLastCharacter_data();
    void messageTextDropsKeywordAndLastCharacter();
    void floodOfMessageTextIsCut();
    void statusReportPieceByPiece();
    void statusDateIsDateAloneAtMidnight();
    void statusDateKeepsEveryCharacterOfTheRegionalFormat_data();
    void statusDateKeepsEveryCharacterOfTheRegionalFormat();
};

void TestServerTexts::headIsThirtyCharactersWithLettersUpperCased()
{
    const QByteArray request("get /pic7.jpg http/1.1\r\nhost: a\xe9\0b"_ba + QByteArray(40, 'x'));
    const QByteArray head = request::Head(request);
    QCOMPARE(head.size(), 30);
    QCOMPARE(head, "GET /PIC7.JPG HTTP/1.1\r\nHOST: "_ba);
    // Bytes that are not ASCII letters, NUL included, pass unchanged.
    QCOMPARE(request::Head("a\xe9\0z"_ba), "A\xe9\0Z"_ba);
    QCOMPARE(request::Head({}), QByteArray());
}

void TestServerTexts::dispatchTakesTheFirstMatchingPrefix_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("title") << "GET /title.jpg HTTP/1.1\r\n"_ba << Kind::TitleImage;
    QTest::newRow("title prefix") << "get /TITLE.JPGX"_ba << Kind::TitleImage;
    QTest::newRow("pic") << "GET /pic"_ba << Kind::Picture;
    QTest::newRow("pic counter") << "get /pic12.jpg\n"_ba << Kind::Picture;
    QTest::newRow("picture") << "GET /picture"_ba << Kind::Picture;
    QTest::newRow("streampic") << "GET /streampic\n"_ba << Kind::StreamPicture;
    QTest::newRow("chart") << "GET /CHART"_ba << Kind::WindowPicture;
    QTest::newRow("chartx") << "get /chartx"_ba << Kind::WindowPicture;
    QTest::newRow("say") << "say:hello\n"_ba << Kind::Say;
    QTest::newRow("msg") << "MSG:"_ba << Kind::Msg;
    QTest::newRow("quit") << "QUITNOW"_ba << Kind::Quit;
    QTest::newRow("status") << "status\n"_ba << Kind::Status;
    QTest::newRow("statusx") << "STATUSX"_ba << Kind::Status;
    QTest::newRow("stat") << "STAT"_ba << Kind::Index;
    QTest::newRow("short of pic") << "GET /PI"_ba << Kind::Index;
    QTest::newRow("split first part") << "GE"_ba << Kind::Index;
    QTest::newRow("root") << "GET / HTTP/1.1\r\n"_ba << Kind::Index;
    QTest::newRow("favicon") << "GET /favicon.ico"_ba << Kind::Index;
    QTest::newRow("stream") << "GET /stream.mjpg HTTP/1.1\r\n"_ba << Kind::Stream;
    QTest::newRow("action stream") << "get /?action=stream\n"_ba << Kind::Stream;
    QTest::newRow("action snapshot") << "GET /?action=snapshot HTTP/1.1"_ba << Kind::Snapshot;
    QTest::newRow("other action") << "GET /?action=other"_ba << Kind::Index;
    QTest::newRow("live page") << "GET /live HTTP/1.1"_ba << Kind::LivePage;
    QTest::newRow("whep offer") << "post /whep HTTP/1.1"_ba << Kind::WhepOffer;
    QTest::newRow("whep end") << "DELETE /whep/3-ab HTTP/1.1"_ba << Kind::WhepEnd;
    QTest::newRow("whep delete alone") << "DELETE /whep HTTP/1.1"_ba << Kind::Index;
    QTest::newRow("whep preflight") << "OPTIONS /whep HTTP/1.1"_ba << Kind::WhepOptions;
    QTest::newRow("line feed") << "\n"_ba << Kind::Index;
    QTest::newRow("empty") << QByteArray() << Kind::Index;
    QTest::newRow("keyword after 30") << (QByteArray(30, ' ') + "GET /pic") << Kind::Index;
    QTest::newRow("space before") << " GET /pic"_ba << Kind::Index;
    QTest::newRow("garbage") << "\0\xff\x01GET /pic"_ba << Kind::Index;
}

void TestServerTexts::dispatchTakesTheFirstMatchingPrefix()
{
    QFETCH(QByteArray, request);
    QFETCH(Kind, kind);
    QCOMPARE(request::Classify(request::Head(request)), kind);
}

void TestServerTexts::bodyIsGatheredToItsAnnouncedLength()
{
    HeadGathering heads;
    QObject connection;
    QByteArray request;
    const QByteArray head = "POST /whep HTTP/1.1\r\ncontent-length: 5\r\n\r\n"_ba;
    QCOMPARE(heads.Add(&connection, head + "ab", request), HeadGathering::Outcome::Waiting);
    QCOMPARE(heads.Add(&connection, "cde"_ba, request), HeadGathering::Outcome::Ready);
    QCOMPARE(request, head + "abcde");
    QCOMPARE(heads.Add(&connection, "POST / HTTP/1.1\r\nContent-Length: 65537\r\n\r\n"_ba, request),
             HeadGathering::Outcome::TooLarge);
    QVERIFY(heads.IsEmpty());
    // A length that is no number announces no body to wait for.
    QCOMPARE(heads.Add(&connection, "POST / HTTP/1.1\r\nContent-Length: x\r\n\r\n"_ba, request),
             HeadGathering::Outcome::Ready);
}

void TestServerTexts::offerGivesTheConstrainedBaselineFormat()
{
    const QByteArray offer =
        "v=0\r\no=- 1 2 IN IP4 0.0.0.0\r\ns=-\r\nt=0 0\r\n"
        "m=audio 9 UDP/TLS/RTP/SAVPF 111\r\na=rtpmap:111 opus/48000/2\r\n"
        "m=video 9 UDP/TLS/RTP/SAVPF 96 102 106 108\r\na=rtpmap:96 VP8/90000\r\n"
        "a=rtpmap:102 H264/90000\r\na=fmtp:102 packetization-mode=1;profile-level-id=42001f\r\n"
        "a=rtpmap:106 H264/90000\r\na=fmtp:106 packetization-mode=0;profile-level-id=42e01f\r\n"
        "a=rtpmap:108 H264/90000\r\na=fmtp:108 profile-level-id=42E01F;packetization-mode=1\r\n"_ba;
    QString failure;
    const WhepOffer chosen = WhepOffer::Read(offer, failure);
    QCOMPARE(chosen.videoPayload, 108);
    QCOMPARE(chosen.profileLevelId, "42e01f"_ba);
    QCOMPARE(chosen.audioPayload, 111);
    QVERIFY(failure.isEmpty());
    QCOMPARE(WhepOffer::Read(QByteArray(offer).replace("a=fmtp:108", "a=fmtp:109"), failure).videoPayload, -1);
    QVERIFY(!failure.isEmpty());
    QCOMPARE(WhepOffer::Read("v=0\r\nm=video"_ba, failure).videoPayload, -1);
    const QByteArray given = chosen.Normalized(offer);
    QVERIFY(given.contains("a=fmtp:108 level-asymmetry-allowed=1;profile-level-id=42E01F;packetization-mode=1\r\n"));
    QCOMPARE(chosen.Normalized(given), given);
}

// Payload types that are not dynamic, and a browser that would not receive, get no format.
void TestServerTexts::offerRefusesStaticPayloadsAndBrowsersThatDoNotReceive_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("payload 0") << "108"_ba
                               << "0"_ba;
    QTest::newRow("payload 200") << "108"_ba
                                 << "200"_ba;
    QTest::newRow("sendonly") << "a=rtpmap:108"_ba
                              << "a=sendonly\r\na=rtpmap:108"_ba;
    QTest::newRow("inactive") << "a=rtpmap:108"_ba
                              << "a=inactive\r\na=rtpmap:108"_ba;
}

void TestServerTexts::offerRefusesStaticPayloadsAndBrowsersThatDoNotReceive()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    const QByteArray offer =
        "v=0\r\no=- 1 2 IN IP4 0.0.0.0\r\ns=-\r\nt=0 0\r\nm=video 9 UDP/TLS/RTP/SAVPF 108\r\n"
        "a=rtpmap:108 H264/90000\r\na=fmtp:108 packetization-mode=1;profile-level-id=42e01f\r\n"_ba;
    QString failure;
    QCOMPARE(WhepOffer::Read(offer, failure).videoPayload, 108);
    QCOMPARE(WhepOffer::Read(QByteArray(offer).replace(from, to), failure).videoPayload, -1);
    QVERIFY(!failure.isEmpty());
}

void TestServerTexts::windowPictureChoiceIsTheCharacterAfterChart()
{
    QCOMPARE(request::WindowChoice(request::Head("get /chart1.jpg"_ba)), '1');
    QCOMPARE(request::WindowChoice(request::Head("GET /CHART3"_ba)), '3');
    QCOMPARE(request::WindowChoice(request::Head("GET /CHART"_ba)), '\0');
}

void TestServerTexts::httpVersionIsRecognisedOnTheFirstLineOnly_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("http");
    QTest::newRow("1.1 with headers") << "GET /pic1.jpg HTTP/1.1\r\nHost: x\r\n\r\n"_ba << true;
    QTest::newRow("1.0 bare LF") << "GET / HTTP/1.0\n"_ba << true;
    QTest::newRow("no line end") << "GET /x HTTP/2"_ba << true;
    QTest::newRow("no version") << "GET /pic1.jpg\r\n"_ba << false;
    QTest::newRow("lower case") << "GET / http/1.1\r\n"_ba << false;
    QTest::newRow("version later") << "GET /\r\nX: HTTP/1.1\r\n"_ba << false;
    QTest::newRow("not a number") << "GET / HTTP/x\r\n"_ba << false;
    QTest::newRow("version alone") << "HTTP/1.1\r\n"_ba << false;
    QTest::newRow("command") << "STATUS\n"_ba << false;
}

void TestServerTexts::httpVersionIsRecognisedOnTheFirstLineOnly()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, http);
    QCOMPARE(http::NamesHttpVersion(request), http);
}

void TestServerTexts::redirectToHttpsTakesOnlyAHostAndAPath_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("location");
    QTest::newRow("host with its port") << "GET /live HTTP/1.1\r\nHost: cam.local:80\r\n\r\n"_ba
                                        << "https://cam.local:8282/live"_ba;
    QTest::newRow("no host") << "GET /pic.jpg?x=1 HTTP/1.0\r\n\r\n"_ba
                             << "https://192.0.2.2:8282/pic.jpg?x=1"_ba;
    QTest::newRow("a host that is no name") << "GET / HTTP/1.1\r\nHost: evil.example/x\r\n\r\n"_ba
                                            << "https://192.0.2.2:8282/"_ba;
    QTest::newRow("a path to another host") << "GET //evil.example/ HTTP/1.1\r\nHost: cam\r\n\r\n"_ba
                                            << "https://cam:8282/"_ba;
    QTest::newRow("a WHEP offer stays a POST") << "POST /whep HTTP/1.1\r\nHost: cam\r\n\r\n"_ba
                                               << "https://cam:8282/whep"_ba;
}

void TestServerTexts::redirectToHttpsTakesOnlyAHostAndAPath()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, location);
    const QByteArray answer = http::RedirectToHttps(request, 8282, "192.0.2.2");
    const QByteArray status = request.startsWith("GET") ? "301 Moved Permanently" : "308 Permanent Redirect";
    QVERIFY2(answer.startsWith("HTTP/1.0 " + status + "\r\nLocation: " + location + "\r\n"), answer.constData());
}

void TestServerTexts::httpHeadCarriesLengthTypeAndConnection()
{
    QCOMPARE(http::ResponseHead("image/jpeg", 40578, http::Connection::Close),
             "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 40578\r\n"
             "Cache-Control: no-cache, no-store\r\nPragma: no-cache\r\nConnection: close\r\n\r\n"_ba);
    QVERIFY(http::ResponseHead("image/jpeg", 1, http::Connection::KeepAlive)
                .contains("\r\nConnection: keep-alive\r\n\r\n"));
}

void TestServerTexts::messageTextDropsKeywordAndLastCharacter_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("text");
    QTest::newRow("line feed") << "say:hello\n"_ba << u"hello"_s;
    QTest::newRow("no line end") << "SAY:hello"_ba << u"hell"_s;
    QTest::newRow("CR LF") << "SAY:hello\r\n"_ba << u"hello\r"_s;
    QTest::newRow("keyword alone") << "SAY:"_ba << QString();
    QTest::newRow("five characters") << "MSG:x"_ba << QString();
    QTest::newRow("six characters") << "MSG:xy"_ba << u"x"_s;
    QTest::newRow("case kept") << "msg:Hi There\n"_ba << u"Hi There"_s;
}

void TestServerTexts::messageTextDropsKeywordAndLastCharacter()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, text);
    QCOMPARE(command::MessageText(request), text);
}

void TestServerTexts::floodOfMessageTextIsCut()
{
    const QByteArray request = "SAY:" + QByteArray(100 * 1024, 'a') + "\n";
    const QString text = command::MessageText(request);
    QVERIFY(text.startsWith(QString(command::MaxMessageLength, u'a') + u" ["_s));
    QVERIFY(text.endsWith(u"%1 more characters not shown]"_s.arg(100 * 1024 - command::MaxMessageLength)));
}

void TestServerTexts::statusReportPieceByPiece()
{
    command::StatusFacts facts;
    facts.version = u"Vantrel v1.4.3"_s;
    facts.now = QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9));
    facts.jpegQuality = 75;
    facts.previewWidth = 313;
    facts.previewHeight = 231;
    facts.totalSent = u"2500"_s;
    const QByteArray report = command::StatusReport(facts);
    QCOMPARE(report.count('\n'), 13);
    QVERIFY(!report.contains('\r'));
    const QList<QByteArray> lines = report.split('\n');
    QCOMPARE(lines.mid(0, 5), (QList<QByteArray>{"", "", "Server Status", "-------------", "Vantrel v1.4.3"}));
    QVERIFY(lines.at(5).startsWith("Server Time/Date: "));
    QVERIFY2(lines.at(5).contains("14:05:09") || lines.at(5).contains("2:05:09"), lines.at(5).constData());
    QCOMPARE(lines.mid(6),
             (QList<QByteArray>{"JPEG Compression: 75%", "Preview Image Size: 313x231",
                                "Total Bandwidth Sent: 2500 bytes", "", "** Request Logged", "", "", ""}));
}

void TestServerTexts::statusDateIsDateAloneAtMidnight()
{
    const QDate day(2026, 12, 7);
    QCOMPARE(command::DateTimeText(QDateTime(day, QTime(0, 0))), QLocale::system().toString(day, QLocale::ShortFormat));
    QVERIFY(command::DateTimeText(QDateTime(day, QTime(0, 0, 1))).contains(u"00:00:01"_s) ||
            command::DateTimeText(QDateTime(day, QTime(0, 0, 1))).contains(u"12:00:01"_s));
}

void TestServerTexts::statusDateKeepsEveryCharacterOfTheRegionalFormat_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("Korean") << QLocale(QLocale::Korean, QLocale::SouthKorea);
    QTest::newRow("Arabic") << QLocale(QLocale::Arabic, QLocale::Egypt);
    QTest::newRow("Persian") << QLocale(QLocale::Persian, QLocale::Iran);
}

void TestServerTexts::statusDateKeepsEveryCharacterOfTheRegionalFormat()
{
    QFETCH(QLocale, locale);
    command::StatusFacts facts;
    facts.now = QDateTime(QDate(2026, 5, 7), QTime(14, 5, 9));
    facts.locale = locale;
    const QString text = command::DateTimeText(facts.now, locale);
    QVERIFY2(std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0x7f; }), qPrintable(text));
    QCOMPARE(command::StatusReport(facts).split('\n').at(5), "Server Time/Date: " + text.toUtf8());
}

QTEST_GUILESS_MAIN(TestServerTexts)
#include "TestServerTexts.moc"
