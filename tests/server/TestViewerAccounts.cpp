// Viewers with their own rights and share links, over real sockets on 127.0.0.1: who sees
// what, what the settings file keeps, and a link that lets in until it is revoked or expires,
// open streams included.
#include "base/seams/Seams.h"
#include "server/HttpFraming.h"
#include "server/MjpegStream.h"
#include "server/PasswordHash.h"
#include "server/ShareLinks.h"
#include "server/TFormShare.h"
#include "server/TFormViewers.h"
#include "tests/app/ProgramFixture.h"
#include "tests/server/ServerClient.h"
#include "tests/support/VantrelTestMain.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray get(const QByteArray &path, const QByteArray &more = {})
{
    return "GET " + path + " HTTP/1.1\r\n" + more + "\r\n";
}

QByteArray as(const char *user, const char *password)
{
    return "Authorization: Basic " + (QByteArray(user) + ':' + password).toBase64() + "\r\n";
}

QByteArray status(const QByteArray &answer) { return answer.left(answer.indexOf("\r\n")); }

struct ServingProgram : ProgramFixture {
    explicit ServingProgram(const QByteArray &settings) : ProgramFixture(settings)
    {
        capture->drivers = {{u"Camera"_s, u"1"_s}};
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        capture->frame = CapturedFrame{CapturedFrame::State::Ready, picture, 1};
        start();
        FormMain->CheckBox->setChecked(true);
    }
};

QByteArray twoViewers()
{
    return "[Viewers]\nCount=2\nName1=alice\nPasswordHash1=" + passwordhash::Make(u"a"_s).toLatin1() +
           "\nLive1=1\nRecordings1=0\nName2=bob\nPasswordHash2=" + passwordhash::Make(u"b"_s).toLatin1() +
           "\nLive2=0\nRecordings2=1\n";
}

QString makeLink(int lifetime, bool recordings)
{
    FormMain->Share1->trigger();
    FormMain->FormShare->ComboBox_Lifetime->setCurrentIndex(lifetime);
    FormMain->FormShare->CheckBox_Recordings->setChecked(recordings);
    FormMain->FormShare->ButtonMake->click();
    return FormMain->FormShare->Edit_Link->text();
}

QByteArray pathOf(const QString &link) { return link.mid(link.indexOf(u"/live")).toLatin1(); }

} // namespace

class TestViewerAccounts : public QObject {
    Q_OBJECT

private slots:
    void eachViewerSeesWhatTheyMay();
    void windowEditsTheListAndKeepsOnlyHashes();
    void shareLinkLetsInUntilRevokedOrExpired();
    void newPasswordsAreCheckedAsideAndBounded();
};

void TestViewerAccounts::eachViewerSeesWhatTheyMay()
{
    ServingProgram program(twoViewers());
    const QByteArray ok = "HTTP/1.0 200 OK";
    QCOMPARE(status(Exchange(get("/pic1.jpg", as("alice", "a")))), ok);
    QCOMPARE(status(Exchange(get("/recordings.json", as("alice", "a")))), "HTTP/1.0 403 Forbidden");
    QCOMPARE(status(Exchange(get("/pic1.jpg", as("bob", "b")))), "HTTP/1.0 403 Forbidden");
    QVERIFY(Exchange(get("/recordings.json", as("bob", "b"))).startsWith("HTTP/1.0 200 OK"));
    QCOMPARE(status(Exchange(get("/", as("bob", "b")))), ok);
    // A right name with another's password, and a name that is none, are wrong passwords.
    QCOMPARE(Exchange(get("/pic1.jpg", as("alice", "b"))), http::UnauthorizedResponse());
    QCOMPARE(Exchange(get("/pic1.jpg", as("carol", "a"))), http::UnauthorizedResponse());
}

void TestViewerAccounts::windowEditsTheListAndKeepsOnlyHashes()
{
    ServingProgram program(twoViewers());
    TFormViewers *window = FormMain->FormViewers.get();
    FormMain->Viewers1->trigger();
    QCOMPARE(window->ListViewers->topLevelItemCount(), 2);
    QCOMPARE(window->Edit_ViewerPassword->text(), TFormViewers::StandIn());
    // A third viewer; then the first's password is emptied, which removes her.
    window->ButtonAdd->click();
    window->Edit_ViewerUser->setText(u"carol"_s);
    window->Edit_ViewerPassword->setText(u"c: ç"_s);
    window->ListViewers->setCurrentItem(window->ListViewers->topLevelItem(0));
    QCOMPARE(window->Edit_ViewerUser->text(), u"alice"_s);
    window->Edit_ViewerPassword->clear();
    // Two of one name are refused, and the window stays open to mend it.
    window->ListViewers->setCurrentItem(window->ListViewers->topLevelItem(1));
    window->Edit_ViewerUser->setText(u"carol"_s);
    window->ButtonOK->click();
    QVERIFY(window->isVisible() && window->LabelProblem->text().contains(u"carol"_s));
    window->Edit_ViewerUser->setText(u"bob"_s);
    window->ButtonOK->click();
    QVERIFY(!window->isVisible());

    QCOMPARE(window->Accounts().size(), size_t(2));
    QCOMPARE(status(Exchange(get("/", as("carol", "c: ç")))), "HTTP/1.0 200 OK");
    QCOMPARE(Exchange(get("/", as("alice", "a"))), http::UnauthorizedResponse());
    const QByteArray saved = program.readSettings();
    QVERIFY2(saved.contains("[Viewers]\nCount=2\nName1=bob\nPasswordHash1=pbkdf2-sha256$") &&
                 saved.contains("Name2=carol\nPasswordHash2=pbkdf2-sha256$") && !saved.contains("Name3") &&
                 saved.contains("ViewerUser=bob\nViewerPasswordHash=pbkdf2-sha256$") && !saved.contains("c: "),
             saved.constData());
}

void TestViewerAccounts::shareLinkLetsInUntilRevokedOrExpired()
{
    ServingProgram program(twoViewers());
    const QString link = makeLink(0, false);
    QVERIFY2(link.startsWith(u"http://"_s) && link.contains(u"/live?share="_s) && link.size() > 60, qPrintable(link));
    QVERIFY(!FormMain->FormShare->LabelQr->pixmap().isNull());
    const QByteArray token = link.section(u'=', 1).toLatin1();
    QVERIFY(!program.readSettings().contains(token) && program.readSettings().contains("[ShareLinks]\nCount=1\n"));

    // The page sets the cookie its own requests carry; recordings were not chosen.
    const QByteArray page = Exchange(get(pathOf(link)));
    QVERIFY2(page.startsWith("HTTP/1.0 200 OK") && page.contains("Set-Cookie: vantrel-share=" + token + "; Path=/;"),
             page.left(400).constData());
    QCOMPARE(status(Exchange(get("/pic1.jpg", "Cookie: a=b; vantrel-share=" + token + "\r\n"))), "HTTP/1.0 200 OK");
    QCOMPARE(Exchange(get("/recordings.json?share=" + token)), http::UnauthorizedResponse());
    QCOMPARE(Exchange(get("/pic1.jpg?share=" + token.chopped(1))), http::UnauthorizedResponse());

    RawPeer viewer;
    QVERIFY(viewer.Connect(ServerPort()) && viewer.Send(get("/stream.mjpg?share=" + token)));
    QVERIFY(viewer.ReceiveAtLeast(MjpegStream::Head().size()).startsWith(MjpegStream::Head()));
    FormMain->FormShare->ListLinks->setCurrentItem(FormMain->FormShare->ListLinks->topLevelItem(0));
    FormMain->FormShare->ButtonRevoke->click();
    viewer.ReceiveUntilClosed();
    QVERIFY(viewer.ClosedByServer());
    QCOMPARE(Exchange(get("/pic1.jpg?share=" + token)), http::UnauthorizedResponse());
    QCOMPARE(FormMain->FormShare->ListLinks->topLevelItemCount(), 0);

    // An hour's link, an hour later: its open stream ends when the next expiry is looked at.
    const QByteArray hourly = makeLink(0, true).section(u'=', 1).toLatin1();
    QVERIFY(Exchange(get("/recordings.json?share=" + hourly)).startsWith("HTTP/1.0 200 OK"));
    RawPeer late;
    QVERIFY(late.Connect(ServerPort()) && late.Send(get("/stream.mjpg?share=" + hourly)));
    QVERIFY(late.ReceiveAtLeast(MjpegStream::Head().size()).startsWith(MjpegStream::Head()));
    const QDateTime later = QDateTime::currentDateTime().addSecs(3601);
    const ScopedSeam<QDateTime()> clock(seams::Now, [later] { return later; });
    makeLink(3, false);
    late.ReceiveUntilClosed();
    QVERIFY(late.ClosedByServer());
    QVERIFY(!FormMain->LogLines().filter(u"expired"_s).isEmpty());
    QCOMPARE(FormMain->FormShare->ListLinks->topLevelItemCount(), 1);
    QVERIFY(FormMain->LogLines().filter(QString::fromLatin1(hourly.left(10))).isEmpty());
}

// Passwords not seen before wait for their slow check on a thread of their own: a viewer
// already let in is answered meanwhile, and beyond a bound a login is asked to wait.
void TestViewerAccounts::newPasswordsAreCheckedAsideAndBounded()
{
    ServingProgram program(twoViewers());
    QCOMPARE(status(Exchange(get("/pic1.jpg", as("alice", "a")))), "HTTP/1.0 200 OK");
    std::vector<std::unique_ptr<RawPeer>> logins;
    for (int i = 0; i < 24; ++i) {
        logins.push_back(std::make_unique<RawPeer>());
        QVERIFY(logins.back()->Connect(ServerPort()) && logins.back()->Send(get("/recordings.json", as("bob", "b"))));
    }
    QCOMPARE(status(Exchange(get("/pic1.jpg", as("alice", "a")))), "HTTP/1.0 200 OK");
    QStringList answers;
    int answeredBeforeAlice = 0;
    for (const std::unique_ptr<RawPeer> &login : logins) {
        const QByteArray early = login->ReceiveAtLeast(1, 0);
        answeredBeforeAlice += early.startsWith("HTTP/1.0 200") ? 1 : 0;
        answers << QString::fromLatin1(status(early + login->ReceiveUntilClosed()));
    }
    QVERIFY2(answeredBeforeAlice < 16, qPrintable(answers.join(u'|')));
    QCOMPARE(answers.count(u"HTTP/1.0 200 OK"_s) + answers.count(u"HTTP/1.0 503 Service Unavailable"_s), 24);
    QVERIFY2(answers.count(u"HTTP/1.0 503 Service Unavailable"_s) >= 24 - 16, qPrintable(answers.join(u'|')));
}

VANTREL_TEST_MAIN(TestViewerAccounts)
#include "TestViewerAccounts.moc"
