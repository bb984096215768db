// The viewer password over real sockets on 127.0.0.1: what a request without it, with a wrong
// one and with the right one gets, the commands it turns away, how often a refusal is logged,
// and the settings keys its window writes.
#include "capture/JpegEncoder.h"
#include "server/ComputerAddresses.h"
#include "server/HttpFraming.h"
#include "server/LoginLockout.h"
#include "server/MjpegStream.h"
#include "server/PasswordHash.h"
#include "server/TFormViewers.h"
#include "stats/RequestCount.h"
#include "stats/TFormBandwidth.h"
#include "tests/app/ProgramFixture.h"
#include "tests/server/ServerClient.h"
#include "tests/support/VantrelTestMain.h"

using namespace Qt::StringLiterals;

namespace {

const QString User = u"viewer"_s;
const QString Password = u"sésame: ouvre-toi"_s; // not ASCII, and a colon after the first one
const QByteArray Right = (User + u':' + Password).toUtf8().toBase64();

QByteArray get(const QByteArray &path, const QByteArray &credentials = {})
{
    return "GET " + path + " HTTP/1.1\r\n" +
           (credentials.isEmpty() ? "" : "Authorization: Basic " + credentials + "\r\n") + "\r\n";
}

void choosePassword(const QString &password, QAbstractButton *button = FormMain->FormViewers->ButtonOK)
{
    FormMain->Viewers1->trigger();
    FormMain->FormViewers->Edit_ViewerUser->setText(User);
    FormMain->FormViewers->Edit_ViewerPassword->setText(password);
    button->click();
}

QStringList logged(const QString &text) { return FormMain->LogLines().filter(text); }

// A started program with a camera and its server on.
struct ServingProgram : ProgramFixture {
    ServingProgram()
    {
        capture->drivers = {{u"Camera"_s, u"1"_s}};
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        capture->frame = CapturedFrame{CapturedFrame::State::Ready, picture, 1};
        start();
        FormMain->CheckBox->setChecked(true);
    }
};

} // namespace

class TestViewerPassword : public QObject {
    Q_OBJECT

private slots:
    void everyHttpRequestNeedsThePassword();
    void commandsAndBareRequestsAreTurnedAwayAndLoggedOnceAMinute();
    void passwordIsSavedAtOnceEndsOpenStreamsAndComesOff();
    void passwordHoldsWhileAStartUpBoxIsOpen();
    void clearPasswordOfAnOlderVersionIsHashedOnSave();
    void hashLinesAdmitOnlyTheirPassword();
    void tenWrongPasswordsLockAnAddressOut();
    void lockoutForgetsOldFailuresAndStaysBounded();
};

void TestViewerPassword::everyHttpRequestNeedsThePassword()
{
    ServingProgram program;
    choosePassword(Password);
    const int countedBefore = RequestCount;
    const QString sentBefore = FormBandwidth->Edit2->text();
    for (const QByteArray path : {"/", "/title.jpg", "/pic1.jpg", "/?action=snapshot", "/chart1", "/stream.mjpg"}) {
        for (const QByteArray &wrong : {QByteArray(), (User + u":sésame"_s).toUtf8().toBase64(), Right.chopped(1)}) {
            const QByteArray answer = Exchange(get(path, wrong));
            QVERIFY2(
                answer.startsWith(
                    "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"Vantrel\", charset=\"UTF-8\"\r\n") &&
                    answer.endsWith("\r\n\r\nThis camera asks for a user name and password.\n"),
                answer.constData());
        }
    }
    QCOMPARE(RequestCount, countedBefore);
    QCOMPARE(FormBandwidth->Edit2->text(), sentBefore);

    for (const QByteArray path : {"/", "/pic1.jpg", "/chart1"})
        QVERIFY(Exchange(get(path, Right)).startsWith("HTTP/1.0 200 OK\r\n"));
    RawPeer viewer;
    QVERIFY(viewer.Connect(ServerPort()) && viewer.Send(get("/stream.mjpg", Right)));
    QCOMPARE(viewer.ReceiveAtLeast(MjpegStream::Head().size()).left(MjpegStream::Head().size()), MjpegStream::Head());
    QCOMPARE(RequestCount, countedBefore + 4);

    // On a kept connection every request is asked again.
    RawPeer kept;
    QVERIFY(kept.Connect(ServerPort()) && kept.Send(get("/streampic", Right)));
    const QByteArray jpeg = EncodeJpeg(program.capture->frame.image, 75).value();
    const QByteArray picture = http::ResponseHead("image/jpeg", jpeg.size(), http::Connection::KeepAlive) + jpeg;
    QCOMPARE(kept.ReceiveAtLeast(picture.size()), picture);
    QVERIFY(kept.Send(get("/streampic")));
    QCOMPARE(kept.ReceiveUntilClosed(), http::UnauthorizedResponse());

    // A head over several segments is taken whole; what follows its blank line is no header.
    const QByteArray split = get("/pic1.jpg", Right);
    RawPeer slow;
    QVERIFY(slow.Connect(ServerPort()));
    for (const QByteArray &piece : {split.left(30), split.mid(30, 20), split.mid(50)}) {
        QVERIFY(slow.Send(piece));
        QTest::qWait(200);
    }
    QVERIFY(slow.ReceiveUntilClosed().startsWith("HTTP/1.0 200 OK\r\n"));
    QCOMPARE(Exchange("GET /pic1.jpg HTTP/1.1\n\nAuthorization: Basic " + Right + "\r\n\r\n"),
             http::UnauthorizedResponse());
    RawPeer endless;
    QVERIFY(endless.Connect(ServerPort()) && endless.Send("GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'x')));
    QCOMPARE(endless.ReceiveUntilClosed(), QByteArray());
}

void TestViewerPassword::commandsAndBareRequestsAreTurnedAwayAndLoggedOnceAMinute()
{
    ServingProgram program;
    choosePassword(Password);
    FormMain->LogRequests->setChecked(true);
    for (const QByteArray &request :
         {"SAY:hello\n"_ba, "MSG:hello\n"_ba, "STATUS\n"_ba, "QUIT\n"_ba, "GET /pic1.jpg\n"_ba,
          "SAY:hello HTTP/1.1\r\nAuthorization: Basic " + Right + "\r\n\r\n"}) {
        RawPeer peer;
        QVERIFY(peer.Connect(ServerPort()) && peer.Send(request));
        QCOMPARE(peer.ReceiveUntilClosed(), "A viewer password is set, so commands are refused.\r\n"_ba);
        QVERIFY(peer.ClosedByServer());
    }
    QVERIFY(program.messages.messages.isEmpty() && logged(u"hello"_s).isEmpty() && logged(u"status"_s).isEmpty());
    QVERIFY(FormMain->CheckBox->isChecked());

    // One line per address and minute, whatever was refused.
    QVERIFY(Exchange(get("/")).startsWith("HTTP/1.0 401"));
    program.clock.advanceSeconds(59);
    QVERIFY(Exchange(get("/")).startsWith("HTTP/1.0 401"));
    program.clock.advanceSeconds(1);
    QVERIFY(Exchange(get("/")).startsWith("HTTP/1.0 401"));
    QCOMPARE(
        logged(u"Refused"_s),
        QStringList(
            {u"12-07-26 14:05:09: Refused a plain-text request from 127.0.0.1: it cannot give the viewer password"_s,
             u"12-07-26 14:06:09: Refused a request from 127.0.0.1: no or wrong viewer password"_s}));

    QVERIFY(Exchange("GET / HTTP/1.1\nAuthorization:Basic " + Right + "\n\n").startsWith("HTTP/1.0 200 OK"));
    QCOMPARE(logged(u"Received GET / HTTP/1.1"_s).size(), 1);
    QVERIFY(logged(Password).isEmpty() && logged(QString::fromLatin1(Right.left(8))).isEmpty());
}

void TestViewerPassword::passwordIsSavedAtOnceEndsOpenStreamsAndComesOff()
{
    ServingProgram program;
    RawPeer viewer;
    QVERIFY(viewer.Connect(ServerPort()) && viewer.Send(get("/stream.mjpg")));
    QVERIFY(PumpUntil([] { return FormMain->Stream->ViewerCount() == 1; }));

    choosePassword(Password);
    viewer.ReceiveUntilClosed();
    QVERIFY(viewer.ClosedByServer());
    QVERIFY(FormMain->LogLines().constLast().endsWith(
        u"Viewer password set: viewers must give the user name and password"_s));
    // Only the password's salted hash is written, never the password.
    const auto savedRight = [&](const QByteArray &before) {
        const QString saved = QString::fromUtf8(program.readSettings());
        return saved.contains(QString::fromUtf8(before) +
                              u"ViewerUser=viewer\nViewerPasswordHash=pbkdf2-sha256$600000$"_s) &&
               !saved.contains(Password) && !saved.contains(u"ViewerPassword="_s);
    };
    QVERIFY(savedRight({}));
    QVERIFY(QFile::remove(program.settingsPath()));
    FormMain->SaveSettings();
    QVERIFY(savedRight("AutoCapture=0\n"));
    // Reopened and left as it is, the window keeps the password in force.
    choosePassword(FormMain->FormViewers->StandIn());
    QVERIFY(Exchange(get("/", Right)).startsWith("HTTP/1.0 200 OK"));

    // Cancel keeps the password; an empty one lets everyone watch again.
    choosePassword(QString(), FormMain->FormViewers->ButtonCancel);
    QVERIFY(Exchange(get("/")).startsWith("HTTP/1.0 401"));
    choosePassword(QString());
    QVERIFY(FormMain->LogLines().constLast().endsWith(u"Viewer password removed: everyone may watch"_s));
    QVERIFY(program.readSettings().contains("ViewerPasswordHash=\n"));
    QVERIFY(Exchange("GET /pic1.jpg\n").startsWith("\xff\xd8"));
}

void TestViewerPassword::passwordHoldsWhileAStartUpBoxIsOpen()
{
    ProgramFixture program("[FormMain]\nEnabled=1\nViewerUser=viewer\nViewerPassword=secret\n");
    program.capture->drivers = {{u"Camera"_s, u"1"_s}};
    program.capture->frame = CapturedFrame{CapturedFrame::State::Ready, QImage(64, 48, QImage::Format_RGB32), 1};
    // No address to show: a box opens while the server starts, and its loop serves requests.
    const ScopedSeam<QStringList()> none(computer::Addresses, [] { return QStringList(); });
    QByteArray answer;
    program.messages.whileOpen = [&](const RecordedMessage &) {
        if (answer.isEmpty())
            answer = Exchange(get("/pic.jpg"));
    };
    program.start();
    QVERIFY2(answer.startsWith("HTTP/1.0 401"), answer.left(20).constData());
}

// A file of an older version with the password in clear: it holds as before, and the next
// save puts its hash in its place.
void TestViewerPassword::clearPasswordOfAnOlderVersionIsHashedOnSave()
{
    ServingProgram program;
    program.writeSettings("[FormMain]\nViewerUser=viewer\nViewerPassword=" + Password.toUtf8() + "\nEnabled=1\n");
    FormMain->LoadSettings();
    QVERIFY(Exchange(get("/")).startsWith("HTTP/1.0 401"));
    QVERIFY(Exchange(get("/", Right)).startsWith("HTTP/1.0 200 OK"));
    FormMain->SaveSettings();
    const QByteArray saved = program.readSettings();
    QVERIFY2(saved.contains("\nViewerPasswordHash=pbkdf2-sha256$") && !saved.contains("ViewerPassword=") &&
                 !saved.contains(Password.toUtf8()),
             saved.constData());
}

void TestViewerPassword::hashLinesAdmitOnlyTheirPassword()
{
    const QString line = passwordhash::Make(Password);
    QVERIFY(passwordhash::Matches(line, Password.toUtf8()));
    QVERIFY(passwordhash::Make(Password) != line); // salted
    QVERIFY(!passwordhash::Matches(line, Password.toUtf8() + 'x'));
    QVERIFY(!passwordhash::Matches(line, QByteArray()));
    QStringList fields = line.split(u'$');
    fields[1] = u"1000"_s; // a count that would make guessing cheap
    QVERIFY(!passwordhash::IsHash(fields.join(u'$')));
    for (const QString &broken : {QString(), Password, line.chopped(2), line + u"$x"_s})
        QVERIFY2(!passwordhash::Matches(broken, Password.toUtf8()), qPrintable(broken));
}

// Ten wrong passwords in ten minutes: 429 for ten minutes, the right password included, with
// one line when it starts and one when it ends.
void TestViewerPassword::tenWrongPasswordsLockAnAddressOut()
{
    ServingProgram program;
    choosePassword(Password);
    const QByteArray wrong = (User + u":guess"_s).toUtf8().toBase64();
    for (int n = 0; n < LoginLockout::Limit; ++n)
        QVERIFY(Exchange(get("/pic.jpg", wrong)).startsWith("HTTP/1.0 401"));
    for (const QByteArray &path : {"/pic.jpg"_ba, "/stream.mjpg"_ba, "/live"_ba})
        QVERIFY(Exchange(get(path, Right)).startsWith("HTTP/1.0 429 Too Many Requests\r\nRetry-After: 600\r\n"));
    QCOMPARE(logged(u"Locked out 127.0.0.1"_s).size(), 1);
    program.clock.advanceSeconds(LoginLockout::LockSeconds - 1);
    QVERIFY(Exchange(get("/pic.jpg", Right)).startsWith("HTTP/1.0 429"));
    program.clock.advanceSeconds(1);
    QTRY_COMPARE_WITH_TIMEOUT(logged(u"Lockout of 127.0.0.1 ended"_s).size(), 1, 10000);
    QVERIFY(Exchange(get("/pic.jpg", Right)).startsWith("HTTP/1.0 200 OK"));
}

void TestViewerPassword::lockoutForgetsOldFailuresAndStaysBounded()
{
    LoginLockout lockout;
    QDateTime now = QDateTime::currentDateTime();
    for (int n = 1; n < LoginLockout::Limit; ++n)
        QVERIFY(!lockout.Failed(u"10.0.0.1"_s, now));
    now = now.addSecs(LoginLockout::WindowSeconds);
    QVERIFY(!lockout.Failed(u"10.0.0.1"_s, now)); // the nine before are out of the window
    for (int n = 1; n < LoginLockout::Limit; ++n)
        lockout.Failed(u"10.0.0.2"_s, now);
    QVERIFY(lockout.Failed(u"10.0.0.2"_s, now) && lockout.Locked(u"10.0.0.2"_s, now));
    // A flood of addresses: the memory stays bounded and the lockout holds.
    for (int n = 0; n < 3 * LoginLockout::MaxAddresses; ++n)
        lockout.Failed(u"172.16.%1.%2"_s.arg(n / 256).arg(n % 256), now);
    QVERIFY(lockout.Remembered() <= LoginLockout::MaxAddresses);
    QVERIFY(lockout.Locked(u"10.0.0.2"_s, now));
}

VANTREL_TEST_MAIN(TestViewerPassword)
#include "TestViewerPassword.moc"
