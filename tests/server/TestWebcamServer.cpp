// The webcam server inside the program: switched on and off, asked over real sockets on
// 127.0.0.1, and answering with the frame, the built-in files, window pictures and commands.
#include "capture/JpegImage.h"
#include "capture/TFormPreview.h"
#include "resources/BuiltInResources.h"
#include "server/ComputerAddresses.h"
#include "server/TFormHttps.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"
#include "tests/app/ProgramFixture.h"
#include "tests/server/ServerClient.h"
#include "tests/support/VantrelTestMain.h"

#include <QTcpServer>

using namespace Qt::StringLiterals;

namespace {

const QString Stamp = u"12-07-26 14:05:09: "_s;

QImage picture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 3 % 256, y * 5 % 256, (x + y) % 256));
    return image;
}

QByteArray resource(const QString &name) { return OpenBuiltInResource(name)->readAll(); }

QStringList linesSince(int count) { return FormMain->LogLines().mid(count); }

// A started program with a camera giving a 64x48 picture, its server on a free port.
struct ServedProgram : ProgramFixture {
    explicit ServedProgram(bool serve = true)
    {
        capture->drivers = {{u"Camera"_s, u"1"_s}};
        capture->frame = CapturedFrame{CapturedFrame::State::Ready, picture({64, 48}), 1};
        start();
        if (serve)
            FormMain->CheckBox->setChecked(true);
    }
};

} // namespace

class TestWebcamServer : public QObject {
    Q_OBJECT

private slots:
    void switchingOnAndOffLogsEveryStepAndLocksThePort();
    void hostNameAndAddressFailuresLeaveTheServerRunning();
    void portInUseLeavesEverythingOff();
    void httpsChoicesTakeEffectOnlyWithOk();
    void copyingTheUrlNeedsTheServer();
    void everyRequestKindGetsItsAnswer_data();
    void everyRequestKindGetsItsAnswer();
    void streamPictureKeepsTheConnection();
    void offlineReplacesOnlyLivePictures();
    void windowPicturesHaveTheClientAreaSize();
    void commandsAnswerAsDescribed();
    void messageBoxesAreCappedAndTheRestLogged();
    void requestsAreLoggedWhenAskedTo();
    void errorKindsBecomeLogLines();
    void lastSentAndTotalFollowEveryBody();
    void hostileInputIsAnsweredAndTheServerStaysResponsive();
    void connectionOutlivesWhatHappensWhileItsBoxIsOpen_data();
    void connectionOutlivesWhatHappensWhileItsBoxIsOpen();
};

void TestWebcamServer::switchingOnAndOffLogsEveryStepAndLocksThePort()
{
    ServedProgram program(false);
    const ScopedSeam<std::optional<QString>()> host(computer::HostName, [] { return u"camhost"_s; });
    const ScopedSeam<QStringList()> addresses(computer::Addresses, [] {
        return QStringList{u"192.168.0.2"_s, u"10.0.0.5"_s};
    });
    const int before = FormMain->LogLines().size();
    FormMain->CheckBox->setChecked(true);
    QCOMPARE(linesSince(before),
             (QStringList{Stamp + u"Server starting..."_s, Stamp + u"Cached 10 server threads"_s,
                          Stamp + u"Hostname: camhost"_s, Stamp + u"Found Address #0: 192.168.0.2"_s,
                          Stamp + u"Found Address #1: 10.0.0.5"_s, Stamp + u"Server started!"_s}));
    QVERIFY(FormMain->ServerSocket->Active());
    QVERIFY(FormMain->SpinEdit->isReadOnly());
    QVERIFY(FormMain->Offline->isEnabled() && FormMain->UrlBox->isEnabled());
    QCOMPARE(FormMain->Url->count(), 2);
    QCOMPARE(FormMain->Url->itemText(0), u"http://192.168.0.2:8282/"_s);
    QCOMPARE(FormMain->Url->itemText(1), u"http://10.0.0.5:8282/"_s);
    QCOMPARE(FormMain->Url->currentText(), u"http://10.0.0.5:8282/"_s);
    QVERIFY(Exchange("GET /pic1.jpg\n").startsWith("\xff\xd8"));

    FormMain->Offline->setChecked(true);
    const quint16 port = ServerPort();
    FormMain->CheckBox->setChecked(false);
    QCOMPARE(FormMain->LogLines().constLast(), Stamp + u"Server stopped!"_s);
    QVERIFY(!FormMain->ServerSocket->Active());
    QVERIFY(!FormMain->SpinEdit->isReadOnly());
    QVERIFY(!FormMain->Offline->isEnabled() && !FormMain->UrlBox->isEnabled());
    QVERIFY(FormMain->Offline->isChecked());
    RawPeer refused;
    QVERIFY(!refused.Connect(port));
}

void TestWebcamServer::hostNameAndAddressFailuresLeaveTheServerRunning()
{
    ServedProgram program(false);
    {
        const ScopedSeam<std::optional<QString>()> host(computer::HostName, [] { return std::nullopt; });
        FormMain->CheckBox->setChecked(true);
        QVERIFY(FormMain->LogLines().contains(Stamp + u"Error when getting hostname"_s));
        QCOMPARE(FormMain->Url->count(), 0);
        QCOMPARE(FormMain->LogLines().constLast(), Stamp + u"Server started!"_s);
        FormMain->CheckBox->setChecked(false);
    }
    const ScopedSeam<QStringList()> none(computer::Addresses, [] { return QStringList(); });
    FormMain->CheckBox->setChecked(true);
    QCOMPARE(program.messages.messages.size(), 1);
    QCOMPARE(program.messages.messages.at(0).caption, u"Warning"_s);
    QCOMPARE(program.messages.messages.at(0).text, u"Bad host lookup"_s);
    QCOMPARE(FormMain->Url->currentText(), u"Could not resolve address"_s);
    QVERIFY(FormMain->ServerSocket->Active());
}

void TestWebcamServer::portInUseLeavesEverythingOff()
{
    ServedProgram program(false);
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::Any, 0));
    program.listenOn = occupant.serverPort();
    FormMain->CheckBox->setChecked(true);
    QCOMPARE(program.messages.messages.size(), 1);
    QVERIFY2(program.messages.messages.at(0).text.endsWith(u"(10048), on API 'bind'"_s),
             qPrintable(program.messages.messages.at(0).text));
    // Not shown as on: the box unticked, one line naming the port.
    QVERIFY(!FormMain->CheckBox->isChecked());
    QVERIFY(!FormMain->ServerSocket->Active());
    QVERIFY(!FormMain->SpinEdit->isReadOnly());
    QVERIFY(!FormMain->UrlBox->isEnabled() && !FormMain->Offline->isEnabled());
    QVERIFY(!FormMain->LogLines().contains(Stamp + u"Server started!"_s));
    QVERIFY2(FormMain->LogLines().constLast().startsWith(
                 Stamp + u"Server not started on port %1: Windows socket error: "_s.arg(occupant.serverPort())),
             qPrintable(FormMain->LogLines().constLast()));
}

// The HTTPS window's fields are a choice only once OK takes them; then they hold at once.
void TestWebcamServer::httpsChoicesTakeEffectOnlyWithOk()
{
    ServedProgram program;
    TFormHttps &window = *FormMain->FormHttps;
    const auto plainPicture = [] { return Exchange("GET /pic1.jpg HTTP/1.1\r\n\r\n"); };
    FormMain->Https1->trigger();
    window.CheckBox_Https->setChecked(true);
    window.Buttons->button(QDialogButtonBox::Ok)->click();
    QVERIFY(FormMain->Url->currentText().startsWith(u"https://"_s));
    QVERIFY(program.readSettings().contains("Https=1"));
    QVERIFY(plainPicture().startsWith("HTTP/1.0 200 OK"));
    // Ticked but not taken: plain HTTP goes on as before, until OK.
    FormMain->Https1->trigger();
    window.CheckBox_Redirect->setChecked(true);
    QVERIFY(plainPicture().startsWith("HTTP/1.0 200 OK"));
    window.Buttons->button(QDialogButtonBox::Ok)->click();
    QVERIFY(plainPicture().startsWith("HTTP/1.0 301 Moved Permanently"));
}

void TestWebcamServer::copyingTheUrlNeedsTheServer()
{
    ServedProgram program(false);
    program.clipboard.text = u"before"_s;
    // The button sits in the locked URL group while the server is off; the handler still refuses.
    FormMain->Button_CopyToClipboardClick();
    QCOMPARE(program.messages.texts(), QStringList{u"The server must be enabled to create your URL"_s});
    QCOMPARE(program.clipboard.text, u"before"_s);
    FormMain->CheckBox->setChecked(true);
    FormMain->Url->setEditText(u"http://typed.example:8282/"_s);
    FormMain->Button_CopyToClipboard->click();
    QCOMPARE(program.clipboard.text, u"http://typed.example:8282/"_s);
}

void TestWebcamServer::everyRequestKindGetsItsAnswer_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("answer"); // a resource name, or "frame"
    const QByteArray http = " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const QList<std::pair<QByteArray, QString>> rows{
        {"GET /title.jpg", u"ResImage"_s}, {"GET /pic7.jpg", u"frame"_s},        {"get /PICTURE", u"frame"_s},
        {"GET /", u"HtmlIndex"_s},         {"GET /favicon.ico", u"HtmlIndex"_s}, {"GET /cam/title.jpg", u"HtmlIndex"_s},
    };
    for (const auto &[line, answer] : rows) {
        QTest::addRow("%s bare", line.constData()) << line + "\n" << answer;
        QTest::addRow("%s http", line.constData()) << line + http << answer;
    }
    QTest::newRow("line feed alone") << "\n"_ba << u"HtmlIndex"_s;
    QTest::newRow("stat") << "STAT\n"_ba << u"HtmlIndex"_s;
}

void TestWebcamServer::everyRequestKindGetsItsAnswer()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, answer);
    ServedProgram program;
    const QByteArray response = Exchange(request);
    const QByteArray expected = answer == u"frame"_s ? FormMain->FrameJpeg->data() : resource(answer);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(BodyOf(response), expected);
    QCOMPARE(FormMain->FrameJpeg->data().isEmpty(), answer != u"frame"_s);
    const bool http = request.contains(" HTTP/1.1");
    QCOMPARE(response.startsWith("HTTP/1.0 200 OK\r\n"), http);
    if (http) {
        QVERIFY(HeadOf(response).contains("Content-Length: " + QByteArray::number(expected.size()) + "\r\n"));
        QVERIFY(HeadOf(response).contains(answer == u"HtmlIndex"_s ? "Content-Type: text/html\r\n"
                                                                   : "Content-Type: image/jpeg\r\n"));
        QVERIFY(HeadOf(response).contains("Connection: close\r\n"));
    }
    QTRY_COMPARE(FormBandwidth->Edit1->text(), QString::number(expected.size()));
}

void TestWebcamServer::streamPictureKeepsTheConnection()
{
    ServedProgram program;
    RawPeer peer;
    QVERIFY(peer.Connect(ServerPort()));
    QVERIFY(peer.Send("GET /streampic\n"));
    QByteArray first;
    QVERIFY(PumpUntil([&] {
        first += peer.ReceiveAtLeast(1, 10);
        return !first.isEmpty() && first.size() >= FormMain->FrameJpeg->data().size();
    }));
    QCOMPARE(first, FormMain->FrameJpeg->data());
    program.capture->frame = CapturedFrame{CapturedFrame::State::Ready, picture({32, 24}), 2};
    QVERIFY(peer.Send("GET /STREAMPIC HTTP/1.1\r\n\r\n"));
    QByteArray answer;
    QVERIFY(PumpUntil([&] {
        answer += peer.ReceiveAtLeast(1, 10);
        return !HeadOf(answer).isEmpty() && BodyOf(answer).size() >= FormMain->FrameJpeg->data().size();
    }));
    QVERIFY(HeadOf(answer).contains("Connection: keep-alive\r\n"));
    QCOMPARE(QImage::fromData(BodyOf(answer), "JPEG").size(), QSize(32, 24));
    QVERIFY(!peer.ClosedByServer());
}

void TestWebcamServer::offlineReplacesOnlyLivePictures()
{
    ServedProgram program;
    FormMain->Offline->setChecked(true);
    QCOMPARE(Exchange("GET /pic1.jpg\n"), resource(u"OfflineImage"_s));
    QCOMPARE(Exchange("GET /streampic\n"), resource(u"OfflineImage"_s));
    QCOMPARE(Exchange("GET /title.jpg\n"), resource(u"ResImage"_s));
    QVERIFY(FormMain->FrameJpeg->data().isEmpty()); // no grab while offline
    QVERIFY(Exchange("GET /CHART\n").startsWith("\xff\xd8"));
}

void TestWebcamServer::windowPicturesHaveTheClientAreaSize()
{
    ServedProgram program;
    const QList<std::pair<QByteArray, QSize>> windows{
        {"GET /CHART1\n", FormChart->size()},
        {"GET /chart2 HTTP/1.1\r\n\r\n", FormRequestedIPs->size()},
        {"GET /CHART3\n", FormPreview->size()},
        {"GET /CHART\n", FormMain->centralWidget()->size()},
        {"GET /CHARTX\n", FormMain->centralWidget()->size()},
    };
    for (const auto &[request, size] : windows) {
        const QByteArray body = BodyOf(Exchange(request));
        const QImage image = QImage::fromData(body, "JPEG");
        QCOMPARE(image.size(), size);
        QTRY_COMPARE(FormBandwidth->Edit1->text(), QString::number(body.size()));
    }
    QVERIFY(!FormChart->isVisible() && !FormRequestedIPs->isVisible());
}

void TestWebcamServer::commandsAnswerAsDescribed()
{
    ServedProgram program;
    // SAY: logs the text alone and keeps the connection for more.
    RawPeer sayer;
    QVERIFY(sayer.Connect(ServerPort()));
    QVERIFY(sayer.Send("say:hello\n"));
    QVERIFY(PumpUntil([] { return FormMain->LogLines().constLast() == Stamp + u"hello"_s; }));
    QVERIFY(sayer.Send("SAY:"));
    QVERIFY(PumpUntil([] { return FormMain->LogLines().constLast() == Stamp; }));
    PumpEvents(50);
    QVERIFY(!sayer.ClosedByServer());

    // MSG: a box captioned with the sender, then the connection closes without an answer.
    QCOMPARE(Exchange("MSG:Hi there\n"), QByteArray());
    QCOMPARE(program.messages.messages.size(), 1);
    QCOMPARE(program.messages.messages.at(0).caption, u"127.0.0.1"_s);
    QCOMPARE(program.messages.messages.at(0).text, u"Hi there"_s);
    QVERIFY(FormMain->LogLines().contains(Stamp + u"Received MSG from 127.0.0.1"_s));

    QCOMPARE(Exchange("QUITNOW"), QByteArray());

    FormBandwidth->Edit2->setText(u"123456"_s);
    const QByteArray status = Exchange("status\n");
    QCOMPARE(status.count('\n'), 13);
    QVERIFY(status.startsWith("\n\nServer Status\n-------------\nVantrel v1.4.3\nServer Time/Date: "));
    QVERIFY(status.contains("\nJPEG Compression: 75%\n"));
    // The 320x240 picture and 15 by 30 of frame around it.
    QVERIFY(status.contains("\nPreview Image Size: 335x270\n"));
    QVERIFY(status.endsWith("\nTotal Bandwidth Sent: 123456 bytes\n\n** Request Logged\n\n\n"));
    QCOMPARE(FormMain->LogLines().constLast(), Stamp + u"127.0.0.1 Requested server status"_s);
    // Commands are no responses with a body: the counters stay.
    QCOMPARE(FormBandwidth->Edit1->text(), u"0"_s);
    QCOMPARE(FormBandwidth->Edit2->text(), u"123456"_s);
}

void TestWebcamServer::messageBoxesAreCappedAndTheRestLogged()
{
    ServedProgram program;
    std::vector<std::unique_ptr<RawPeer>> senders;
    int handled = 0;
    // Each box, while open, lets one more message arrive: the boxes pile up on each other.
    program.messages.whileOpen = [&](const RecordedMessage &) {
        program.clock.advanceSeconds(TFormMain::MessageBoxSpacingSeconds);
        auto sender = std::make_unique<RawPeer>();
        if (!sender->Connect(ServerPort()) || !sender->Send("MSG:" + QByteArray::number(++handled) + "\n"))
            return;
        const int lines = FormMain->LogLines().size();
        senders.push_back(std::move(sender));
        PumpUntil(
            [&] { return FormMain->LogLines().size() >= lines + 2 || program.messages.messages.size() > handled; });
    };
    QCOMPARE(Exchange("MSG:0\n"), QByteArray());
    QCOMPARE(program.messages.messages.size(), TFormMain::MaxOpenMessageBoxes);
    QVERIFY2(FormMain->LogLines().contains(
                 u"12-07-26 14:05:24: Message from 127.0.0.1 not shown (3 messages are open already): 3"_s),
             qPrintable(FormMain->LogLines().join(u'\n')));
    // Every box closed again: the next message gets one.
    program.messages.whileOpen = nullptr;
    program.clock.advanceSeconds(TFormMain::MessageBoxSpacingSeconds);
    Exchange("MSG:later\n");
    QCOMPARE(program.messages.messages.constLast().text, u"later"_s);
    // One box every few seconds per peer, however many messages it sends; the rest logged once.
    Exchange("MSG:soon\n");
    Exchange("MSG:sooner\n");
    QCOMPARE(program.messages.messages.constLast().text, u"later"_s);
    QCOMPARE(FormMain->LogLines().filter(u"not shown (one message box every 5 seconds): soon"_s).size(), 1);
    QCOMPARE(FormMain->LogLines().filter(u"sooner"_s).size(), 0);
}

void TestWebcamServer::requestsAreLoggedWhenAskedTo()
{
    ServedProgram program;
    FormMain->LogConnects->setChecked(true);
    FormMain->LogDisconnects->setChecked(true);
    FormMain->LogRequests->setChecked(true);
    const int before = FormMain->LogLines().size();
    Exchange("get /pic7.jpg HTTP/1.1\r\nHost: somewhere.example\r\n\r\n");
    const QString joined = linesSince(before).join(u'\n');
    QVERIFY2(joined.startsWith(Stamp + u"Connect from 127.0.0.1\n"_s + Stamp +
                               u"Received GET /PIC7.JPG HTTP/1.1\nHOST:  from 127.0.0.1"_s),
             qPrintable(joined));
    QVERIFY(PumpUntil([] { return FormMain->LogLines().constLast() == Stamp + u"Disconnected 127.0.0.1"_s; }));
}

void TestWebcamServer::errorKindsBecomeLogLines()
{
    ServedProgram program;
    const QList<std::pair<TErrorEvent, QString>> kinds{
        {TErrorEvent::eeGeneral, u"The socket received an unknown error message"_s},
        {TErrorEvent::eeSend, u"Error trying to write to socket"_s},
        {TErrorEvent::eeReceive, u"Error receiving from socket"_s},
        {TErrorEvent::eeConnect, u"Socket could not connect to server"_s},
        {TErrorEvent::eeDisconnect, u"Error closing connection"_s},
        {TErrorEvent::eeAccept, u"Error accepting client socket request"_s},
    };
    for (const auto &[kind, line] : kinds) {
        int code = 10054;
        FormMain->ServerSocket->OnClientError(nullptr, nullptr, kind, code);
        QCOMPARE(code, 0);
        QCOMPARE(FormMain->LogLines().constLast(), Stamp + line);
    }
}

void TestWebcamServer::lastSentAndTotalFollowEveryBody()
{
    ServedProgram program;
    const qint64 title = resource(u"ResImage"_s).size();
    const qint64 page = resource(u"HtmlIndex"_s).size();
    Exchange("GET /title.jpg HTTP/1.1\r\n\r\n");
    Exchange("GET /title.jpg\n");
    Exchange("STATUS\n");
    Exchange("GET / HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(FormBandwidth->Edit1->text(), QString::number(page));
    QTRY_COMPARE(FormBandwidth->Edit2->text(), QString::number(2 * title + page));
}

void TestWebcamServer::hostileInputIsAnsweredAndTheServerStaysResponsive()
{
    ServedProgram program;
    const QByteArray page = resource(u"HtmlIndex"_s);
    QCOMPARE(Exchange(QByteArray("\0\0\xff\xfe garbage \x01\x02", 16)), page);
    QCOMPARE(Exchange("\r\n"), page);

    // A client that never reads its big answer does not hold the others up.
    RawPeer stuck;
    QVERIFY(stuck.Connect(ServerPort(), true));
    for (int i = 0; i < 20; ++i)
        QVERIFY(stuck.Send("GET /streampic\n"));
    QCOMPARE(BodyOf(Exchange("GET /pic1.jpg HTTP/1.1\r\n\r\n")), FormMain->FrameJpeg->data());

    // A megabyte of request: answered, and the log grows by a bounded number of lines.
    const int lines = FormMain->LogLines().size();
    RawPeer flood;
    QVERIFY(flood.Connect(ServerPort()));
    flood.Send(QByteArray(1024 * 1024, 'A'));
    QCOMPARE(flood.ReceiveUntilClosed().left(page.size()), page);
    QVERIFY(FormMain->LogLines().size() - lines < 100);

    // A flood of text said in one go reaches the log cut short.
    RawPeer sayer;
    QVERIFY(sayer.Connect(ServerPort()));
    sayer.Send("SAY:" + QByteArray(100 * 1024, 'b') + "\n");
    QVERIFY(PumpUntil([] { return FormMain->LogLines().constLast().contains(u"more characters not shown]"_s); }));
    QVERIFY(FormMain->LogLines().constLast().size() < 5000);
    QCOMPARE(BodyOf(Exchange("GET /pic2.jpg\n")), FormMain->FrameJpeg->data());
}

namespace {
enum class WhileOpen { PeerCloses, FailedGrabStopsServer, NewcomerEvictsIt };
}

void TestWebcamServer::connectionOutlivesWhatHappensWhileItsBoxIsOpen_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("frameMissing");
    QTest::addColumn<WhileOpen>("whileOpen");
    QTest::newRow("peer closes during a message") << "MSG:hello\n"_ba << false << WhileOpen::PeerCloses;
    QTest::newRow("browser drops its picture during the error box") << "GET /PIC\n"_ba << true << WhileOpen::PeerCloses;
    QTest::newRow("failed grab stops the server during a message")
        << "MSG:hello\n"_ba << false << WhileOpen::FailedGrabStopsServer;
    QTest::newRow("cap evicts the connection during a message")
        << "MSG:hello\n"_ba << false << WhileOpen::NewcomerEvictsIt;
}

// The box runs a nested loop, as a real one does, while the connection whose handler opened
// it goes away; once the box is closed the program goes on and answers the next client.
void TestWebcamServer::connectionOutlivesWhatHappensWhileItsBoxIsOpen()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, frameMissing);
    QFETCH(WhileOpen, whileOpen);
    ServedProgram program;
    const CapturedFrame goodFrame = program.capture->frame;
    if (frameMissing)
        program.capture->frame = CapturedFrame{};
    FormMain->LogDisconnects->setChecked(true);
    RawPeer peer, other;
    const auto gone = [] { return FormMain->LogLines().constLast().endsWith(u"Disconnected 127.0.0.1"_s); };
    program.messages.whileOpen = [&](const RecordedMessage &) {
        if (other.Handle() >= 0 || !FormMain->ServerSocket->Active())
            return;
        switch (whileOpen) {
        case WhileOpen::PeerCloses:
            peer.Close();
            PumpUntil(gone);
            break;
        case WhileOpen::FailedGrabStopsServer:
            program.capture->frame = CapturedFrame{};
            other.Connect(ServerPort());
            other.Send("GET /PIC\n");
            PumpUntil([] { return !FormMain->ServerSocket->Active(); });
            break;
        case WhileOpen::NewcomerEvictsIt:
            FormMain->ServerSocket->SetMaxConnections(1);
            other.Connect(ServerPort());
            PumpUntil(gone);
            break;
        }
        PumpEvents(20);
    };
    QVERIFY(peer.Connect(ServerPort()));
    QVERIFY(peer.Send(request));
    QVERIFY(PumpUntil([&] { return !program.messages.messages.isEmpty(); }));
    PumpEvents(20);
    program.messages.whileOpen = nullptr;
    program.capture->frame = goodFrame;
    FormMain->ServerSocket->SetMaxConnections(8);
    other.Close();
    FormMain->CheckBox->setChecked(true);
    QCOMPARE(BodyOf(Exchange("GET /pic.jpg HTTP/1.1\r\n\r\n")), FormMain->FrameJpeg->data());
}

VANTREL_TEST_MAIN(TestWebcamServer)
#include "TestWebcamServer.moc"
