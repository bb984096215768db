// The publish window against a directory server of the test's own on 127.0.0.1, and the
// manual address window that feeds its list.
#include "net/TClientSocket.h"
#include "publish/DirectoryServer.h"
#include "publish/FormEncoding.h"
#include "publish/TFormManualIP.h"
#include "publish/TFormPublish.h"
#include "snapshot/TFormSnapshotSettings.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/BlackBox.h"
#include "tests/support/UnknownHosts.h"
#include "tests/support/VantrelTestMain.h"

#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

const QString Published = u"Webcam link successfully published!"_s;
const QString PublishFailed = u"Error publishing webcam!"_s;

// Takes one request and does what the test says once the whole POST has arrived.
class TestDirectory : public QObject {
public:
    enum class Answer { Reply, Garbage, Close, Reset, Silent };

    TestDirectory()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *peer = server.nextPendingConnection();
            peer->setParent(this);
            connect(peer, &QTcpSocket::readyRead, this, [this, peer] {
                received += peer->readAll();
                if (requestComplete())
                    answer(peer);
            });
        });
    }

    bool requestComplete() const
    {
        const qsizetype headEnd = received.indexOf("\n\n");
        if (headEnd < 0)
            return false;
        const qsizetype lengthAt = received.indexOf("Content-Length: ");
        const int length = received.mid(lengthAt + 16, received.indexOf('\n', lengthAt) - lengthAt - 16).toInt();
        return received.size() - (headEnd + 2) >= length;
    }

    void answer(QTcpSocket *peer)
    {
        switch (mode) {
        case Answer::Reply:
            peer->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
            break;
        case Answer::Garbage:
            peer->write(QByteArray("\x00\xff\x13 not http at all", 20));
            break;
        case Answer::Close:
            peer->disconnectFromHost();
            break;
        case Answer::Reset: {
            const linger reset{1, 0};
            ::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            peer->abort();
            break;
        }
        case Answer::Silent:
            break;
        }
    }

    QTcpServer server;
    Answer mode = Answer::Reply;
    QByteArray received;
};

// The program with its server on and the directory pointed at `port`.
struct PublishProgram : ProgramFixture {
    explicit PublishProgram(quint16 port, const QString &host = u"127.0.0.1"_s)
        : directorySeam(directory::Server, [host, port] {
              return directory::ServerAddress{host, port};
          })
    {
        start();
        FormMain->CheckBox->setChecked(true);
    }

    // Opens the window from the menu, adds the URL to its list and picks it.
    void openWith(const QString &url, const QString &handle = u"cam1"_s)
    {
        FormMain->PublishcameraQuillon1->trigger();
        FormPublish->UrlBox->addItem(url);
        FormPublish->UrlBox->setCurrentIndex(FormPublish->UrlBox->count() - 1);
        FormPublish->Edit_Handle->setText(handle);
    }

    bool logged(const QString &text) const { return !FormMain->LogLines().filter(text).isEmpty(); }

    ScopedSeam<directory::ServerAddress()> directorySeam;
};

} // namespace

class TestPublish : public QObject {
    Q_OBJECT

private slots:
    void formEncoding_data();
    void formEncoding();
    void menuNeedsTheServerAndListPageOpensInBrowser();
    void publishNeedsAllThreeFields();
    void postIsSentByteForByte();
    void privateAddressesAreRefused_data();
    void privateAddressesAreRefused();
    void directoryOutcomes_data();
    void directoryOutcomes();
    void unansweredRequestWaitsUntilClosed();
    void unknownHostClosesTheWindowWithoutLogging();
    void closingDuringTheRequestCancelsIt_data();
    void closingDuringTheRequestCancelsIt();
    void manualAddressIsAddedUnselected();
    void manualAddressGroupsAreDecimal_data();
    void manualAddressGroupsAreDecimal();
    void manualAddressCancelAndIncompleteInput();
    void manualAddressEscapeAndFocusRules();
};

void TestPublish::formEncoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("percent and bang") << u"50% off!"_s << QByteArray("50%25+off%21");
    QTest::newRow("plus and equals stay") << u"a+b=c"_s << QByteArray("a+b=c");
    QTest::newRow("every escaped byte") << u"!:/'#$%^&*"_s << QByteArray("%21%3A%2F%27%23%24%25%5E%26%2A");
    QTest::newRow("others stay") << u"?@.;~\"<>"_s << QByteArray("?@.;~\"<>");
    QTest::newRow("bytes above 127 stay") << u"caf\u00e9 cam"_s << QByteArray("caf\xc3\xa9+cam");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestPublish::formEncoding()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, encoded);
    QCOMPARE(EncodeFormValue(text), encoded);
}

void TestPublish::menuNeedsTheServerAndListPageOpensInBrowser()
{
    ProgramFixture program;
    program.start();
    FormMain->PublishcameraQuillon1->trigger();
    QCOMPARE(program.messages.texts(), QStringList{u"The HTTP Server must be enabled before publishing...."_s});
    QCOMPARE(program.messages.messages.constFirst().caption, u"Warning"_s);
    QVERIFY(!FormPublish->isVisible());

    FormMain->ListCamerasonQuillon1->trigger();
    QCOMPARE(program.urls.urls, QList<QUrl>{QUrl(u"http://www.quillon.net/cgi-bin/webcam_list.pl"_s)});

    FormPublish->Button3->click();
    QCOMPARE(program.messages.messages.constLast().caption, u"Publish Help"_s);
    QVERIFY(program.messages.messages.constLast().text.startsWith(u"Quillon Public Webcam List\n\n   This function"_s));
}

void TestPublish::publishNeedsAllThreeFields()
{
    PublishProgram program(FreeLocalPort());
    FormMain->Url->addItem(u"http://1.2.3.4:8282/"_s);
    FormPublish->Edit_Handle->setText(u"cam1"_s);
    FormMain->PublishcameraQuillon1->trigger();
    QVERIFY(FormPublish->isVisible());
    QVERIFY(!FormMain->isEnabled());
    QCOMPARE(FormPublish->UrlBox->count(), FormMain->Url->count());
    QCOMPARE(FormPublish->UrlBox->currentIndex(), -1); // nothing picked yet
    QVERIFY(!FormPublish->Button_Publish->isEnabled());

    FormPublish->UrlBox->setCurrentIndex(FormPublish->UrlBox->findText(u"http://1.2.3.4:8282/"_s));
    QVERIFY(FormPublish->Button_Publish->isEnabled());
    FormPublish->Edit_Description->clear();
    QVERIFY(!FormPublish->Button_Publish->isEnabled());
    FormPublish->Edit_Description->setText(u" "_s); // blanks count as text
    QVERIFY(FormPublish->Button_Publish->isEnabled());
    FormPublish->Edit_Handle->clear();
    QVERIFY(!FormPublish->Button_Publish->isEnabled());

    FormPublish->Button_Close->click();
    QVERIFY(!FormPublish->isVisible());
    QVERIFY(FormMain->isEnabled());
}

void TestPublish::postIsSentByteForByte()
{
    TestDirectory directory;
    PublishProgram program(directory.server.serverPort());
    program.openWith(u"http://1.2.3.4:8282/"_s);
    FormPublish->Button_Publish->click();
    QVERIFY(!FormPublish->Button_Publish->isEnabled());
    QVERIFY(!FormPublish->Button_Close->isEnabled());

    QTRY_VERIFY(!FormPublish->isVisible());
    QCOMPARE(directory.received,
             QByteArray("POST /cgi-bin/webcam_add.pl HTTP/1.1\n"
                        "User-Agent: Vantrel Webcam Post\n"
                        "Host: dummy\n"
                        "Content-Length: 74\n"
                        "\n"
                        "url=http%3A%2F%2F1.2.3.4%3A8282%2F&description=No+Description&handle=cam1\n"));
    QVERIFY(program.logged(Published));
    QVERIFY(FormMain->isEnabled());
    QVERIFY(FormPublish->Button_Close->isEnabled());
    QVERIFY(!FormPublish->ClientSocket->Active());
}

void TestPublish::privateAddressesAreRefused_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("refused");
    QTest::newRow("192.168") << u"http://192.168.1.20:8282/"_s << true;
    QTest::newRow("10.") << u"http://10.0.0.7:8282/"_s << true;
    QTest::newRow("172.16") << u"http://172.16.0.1:8282/"_s << false;
    QTest::newRow("127.") << u"http://127.0.0.1:8282/"_s << false;
    QTest::newRow("leading zeros") << u"http://010.000.000.001:8282/"_s << false;
    QTest::newRow("shorter than the prefix") << u"http://192.16"_s << false;
}

void TestPublish::privateAddressesAreRefused()
{
    QFETCH(QString, url);
    QFETCH(bool, refused);
    TestDirectory directory;
    PublishProgram program(directory.server.serverPort());
    program.openWith(url);
    FormPublish->Button_Publish->click();

    if (refused) {
        QCOMPARE(program.messages.messages.size(), 1);
        QCOMPARE(program.messages.messages.constFirst().caption, u"Invalid URL"_s);
        QVERIFY(
            program.messages.messages.constFirst().text.endsWith(u"press the Manual IP button to enter your own"_s));
        QVERIFY(FormPublish->isVisible());
        QVERIFY(FormPublish->Button_Publish->isEnabled());
        QVERIFY(!FormPublish->ClientSocket->Active());
    } else {
        QTRY_VERIFY(program.logged(Published));
        QVERIFY(directory.received.contains("url=" + EncodeFormValue(url) + "&"));
    }
}

void TestPublish::directoryOutcomes_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("windowStaysOpen");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("errorBoxes");
    QTest::newRow("answer") << int(TestDirectory::Answer::Reply) << false << Published << false;
    QTest::newRow("garbage answer") << int(TestDirectory::Answer::Garbage) << false << Published << false;
    QTest::newRow("closed before answering") << int(TestDirectory::Answer::Close) << false << QString() << false;
    // The error handler makes the connected socket inactive, which raises its disconnect.
    QTest::newRow("reset before answering") << int(TestDirectory::Answer::Reset) << false << PublishFailed << true;
    QTest::newRow("nobody listening") << -1 << true << PublishFailed << true;
}

void TestPublish::directoryOutcomes()
{
    QFETCH(int, answer);
    QFETCH(bool, windowStaysOpen);
    QFETCH(QString, logLine);
    QFETCH(bool, errorBoxes);
    TestDirectory directory;
    directory.mode = static_cast<TestDirectory::Answer>(answer);
    PublishProgram program(answer < 0 ? FreeLocalPort() : directory.server.serverPort());
    program.openWith(u"http://1.2.3.4:8282/"_s);
    const qsizetype linesBefore = FormMain->LogLines().size();
    FormPublish->Button_Publish->click();

    QTRY_VERIFY(FormPublish->Button_Close->isEnabled()); // the attempt is over
    QVERIFY(!FormPublish->ClientSocket->Active());
    QCOMPARE(FormPublish->isVisible(), windowStaysOpen);
    QCOMPARE(FormMain->isEnabled(), !windowStaysOpen);
    QStringList added = FormMain->LogLines().mid(linesBefore);
    for (QString &line : added)
        line = line.section(u": "_s, 1);
    QCOMPARE(added, logLine.isEmpty() ? QStringList() : QStringList{logLine});
    if (errorBoxes) {
        // The window's own box, then the socket's report of the error it did not handle.
        QCOMPARE(program.messages.messages.size(), 2);
        QCOMPARE(program.messages.messages.constFirst().caption, u"Error"_s);
        QCOMPARE(program.messages.messages.constFirst().text, u"Error connecting to Quillon's Webcam Public Server"_s);
    } else {
        QVERIFY(program.messages.messages.isEmpty());
    }
    if (windowStaysOpen) {
        QVERIFY(!FormPublish->Button_Publish->isEnabled());
        FormPublish->Edit_Handle->setText(u"cam2"_s); // a change makes Publish available again
        QVERIFY(FormPublish->Button_Publish->isEnabled());
    }
}

void TestPublish::unansweredRequestWaitsUntilClosed()
{
    TestDirectory directory;
    directory.mode = TestDirectory::Answer::Silent;
    PublishProgram program(directory.server.serverPort());
    program.openWith(u"http://1.2.3.4:8282/"_s);
    FormPublish->Button_Publish->click();
    QTRY_VERIFY(directory.requestComplete());
    QTest::qWait(100);
    QVERIFY(FormPublish->isVisible());
    QVERIFY(!FormPublish->Button_Close->isEnabled());
    QVERIFY(FormPublish->ClientSocket->Active());

    FormPublish->close(); // the close box
    QVERIFY(!FormPublish->isVisible());
    QVERIFY(!FormPublish->ClientSocket->Active());
    QVERIFY(FormMain->isEnabled());
    QVERIFY(!program.logged(Published));
}

void TestPublish::unknownHostClosesTheWindowWithoutLogging()
{
    UnknownHosts unknownHosts;
    PublishProgram program(80, u"no-such-host.invalid"_s);
    program.openWith(u"http://1.2.3.4:8282/"_s);
    const qsizetype linesBefore = FormMain->LogLines().size();
    FormPublish->Button_Publish->click();
    QTRY_VERIFY_WITH_TIMEOUT(!FormPublish->isVisible(), 20000);
    QVERIFY(FormMain->isEnabled());
    QCOMPARE(FormMain->LogLines().size(), linesBefore);
    QCOMPARE(program.messages.messages.size(), 1); // the socket's own report of the failed lookup
}

void TestPublish::closingDuringTheRequestCancelsIt_data()
{
    QTest::addColumn<bool>("duringConnect");
    QTest::newRow("lookup") << false;
    QTest::newRow("connect") << true;
}

// Nothing reaches the directory, no box or line appears, the snapshot settings window keeps
// the main window disabled, and the window opens again ready for a new request.
void TestPublish::closingDuringTheRequestCancelsIt()
{
    QFETCH(bool, duringConnect);
    TestDirectory directory;
    PublishProgram program(directory.server.serverPort(), u"localhost"_s);
    program.openWith(u"http://1.2.3.4:8282/"_s);
    int connections = 0;
    connect(&directory.server, &QTcpServer::newConnection, this, [&] { ++connections; });
    if (duringConnect)
        FormPublish->ClientSocket->OnConnecting = [](QObject *, TCustomWinSocket *) { FormPublish->close(); };
    const qsizetype lines = FormMain->LogLines().size();
    FormPublish->Button_Publish->click();
    if (duringConnect)
        QTRY_VERIFY(!FormPublish->isVisible());
    else
        FormPublish->close();
    QVERIFY(FormMain->isEnabled());
    FormMain->Button_SnapshotOptionsClick();
    QTest::qWait(100);
    QCOMPARE(connections, 0);
    QCOMPARE(FormMain->LogLines().size(), lines);
    QVERIFY(program.messages.messages.isEmpty());
    QVERIFY(!FormMain->isEnabled());
    FormSnapshotSettings->close();
    QVERIFY(FormMain->isEnabled());

    FormPublish->ClientSocket->OnConnecting = nullptr;
    program.openWith(u"http://1.2.3.4:8282/"_s);
    QVERIFY(FormPublish->Button_Close->isEnabled());
    FormPublish->Button_Publish->click();
    QTRY_VERIFY(program.logged(Published));
    QTRY_VERIFY(!FormPublish->isVisible());
}

void TestPublish::manualAddressIsAddedUnselected()
{
    PublishProgram program(FreeLocalPort());
    FormMain->PublishcameraQuillon1->trigger();
    const int listed = FormPublish->UrlBox->count();
    FormPublish->Button_ManualIP->click();
    QVERIFY(FormManualIP->isVisible());
    QVERIFY(!FormPublish->isEnabled());

    FormManualIP->MaskEditIP->setText(u"024.011.005.001"_s);
    FormManualIP->Button1->click();
    QVERIFY(!FormManualIP->isVisible());
    QVERIFY(FormPublish->isEnabled());
    QCOMPARE(FormPublish->UrlBox->count(), listed + 1);
    QCOMPARE(FormPublish->UrlBox->itemText(listed), u"http://24.11.5.1:8282/"_s);
    QCOMPARE(FormPublish->UrlBox->currentIndex(), -1);
    QCOMPARE(program.messages.messages.constLast().caption, u"Reminder"_s);
    QCOMPARE(program.messages.messages.constLast().text,
             u"Your entry has been added to the IP List.\nSelect it and you may now publish."_s);

    // The same address again, with another port: no duplicate test, the port as it is now.
    FormMain->CheckBox->setChecked(false);
    FormMain->SpinEdit->setValue(8080);
    FormPublish->Button_ManualIP->click();
    QCOMPARE(FormManualIP->MaskEditIP->text(), u"024.011.005.001"_s); // kept from last time
    FormManualIP->Button1->click();
    QCOMPARE(FormPublish->UrlBox->itemText(listed + 1), u"http://24.11.5.1:8080/"_s);

    // Showing the publish window again starts from the main window's list.
    FormPublish->close();
    FormMain->CheckBox->setChecked(true);
    FormMain->PublishcameraQuillon1->trigger();
    QCOMPARE(FormPublish->UrlBox->count(), listed);
}

// A browser reads a group with a leading zero as octal: the URL has none; Enter is OK.
void TestPublish::manualAddressGroupsAreDecimal_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("url");
    QTest::newRow("leading zeros") << u"024.011.005.001"_s << u"http://24.11.5.1:8282/"_s;
    QTest::newRow("private") << u"192.168.001.001"_s << u"http://192.168.1.1:8282/"_s;
    QTest::newRow("zero groups") << u"100.000.010.000"_s << u"http://100.0.10.0:8282/"_s;
}

void TestPublish::manualAddressGroupsAreDecimal()
{
    QFETCH(QString, typed);
    QFETCH(QString, url);
    PublishProgram program(FreeLocalPort());
    FormMain->PublishcameraQuillon1->trigger();
    FormPublish->Button_ManualIP->click();
    FormManualIP->MaskEditIP->setText(typed);
    QTest::keyClick(FormManualIP->MaskEditIP, Qt::Key_Return);
    QVERIFY(!FormManualIP->isVisible());
    QCOMPARE(FormManualIP->MaskEditIP->text(), typed);
    QCOMPARE(FormPublish->UrlBox->itemText(FormPublish->UrlBox->count() - 1), url);
}

void TestPublish::manualAddressCancelAndIncompleteInput()
{
    PublishProgram program(FreeLocalPort());
    FormMain->PublishcameraQuillon1->trigger();
    const int listed = FormPublish->UrlBox->count();
    FormPublish->Button_ManualIP->click();
    QCOMPARE(FormManualIP->MaskEditIP->text(), u"000.000.000.000"_s);

    // A half-typed address does not let the focus go.
    FormManualIP->activateWindow();
    FormManualIP->MaskEditIP->setFocus();
    QTRY_VERIFY(FormManualIP->MaskEditIP->hasFocus());
    FormManualIP->MaskEditIP->selectAll();
    QTest::keyClicks(FormManualIP->MaskEditIP, u"12"_s);
    FormManualIP->Button2->setFocus();
    QCOMPARE(program.messages.texts().constLast(), u"Invalid input value.  Use escape key to abandon changes"_s);
    QVERIFY(FormManualIP->MaskEditIP->hasFocus());
    QTest::keyClick(FormManualIP->MaskEditIP, Qt::Key_Escape);
    QCOMPARE(FormManualIP->MaskEditIP->text(), u"000.000.000.000"_s);

    FormManualIP->Button2->click();
    QVERIFY(!FormManualIP->isVisible());
    QVERIFY(FormPublish->isEnabled());
    QCOMPARE(FormPublish->UrlBox->count(), listed);
}

// Escape brings back the address accepted last time; a half-typed address is refused only
// when the focus moves to another control of this window.
void TestPublish::manualAddressEscapeAndFocusRules()
{
    PublishProgram program(FreeLocalPort());
    FormMain->PublishcameraQuillon1->trigger();
    const auto typeIntoField = [](const QString &keys) {
        FormManualIP->activateWindow();
        FormManualIP->MaskEditIP->setFocus();
        QTRY_VERIFY(FormManualIP->MaskEditIP->hasFocus());
        FormManualIP->MaskEditIP->selectAll();
        QTest::keyClicks(FormManualIP->MaskEditIP, keys);
    };
    FormPublish->Button_ManualIP->click();
    typeIntoField(u"024011005001"_s);
    FormManualIP->Button1->click();
    FormPublish->Button_ManualIP->click();
    typeIntoField(u"9"_s);
    QTest::keyClick(FormManualIP->MaskEditIP, Qt::Key_Escape);
    QCOMPARE(FormManualIP->MaskEditIP->text(), u"024.011.005.001"_s);

    const qsizetype boxes = program.messages.messages.size();
    typeIntoField(u"9"_s);
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QTRY_VERIFY(elsewhere.isActiveWindow());
    FormManualIP->close();
    QCOMPARE(program.messages.messages.size(), boxes);

    FormPublish->Button_ManualIP->click();
    typeIntoField(u"9"_s);
    FormManualIP->Button2->setFocus();
    QCOMPARE(program.messages.messages.size(), boxes + 1);
    QCOMPARE(program.messages.texts().constLast(), u"Invalid input value.  Use escape key to abandon changes"_s);
    FormManualIP->close();
}

VANTREL_TEST_MAIN(TestPublish)
#include "TestPublish.moc"
