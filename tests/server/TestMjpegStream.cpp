// The live MJPEG stream over real sockets, read back by Python's MIME parser: every new frame
// once per viewer and in order, one encoding per frame, slow viewers, and the program's states.
#include "capture/JpegEncoder.h"
#include "capture/JpegImage.h"
#include "resources/BuiltInResources.h"
#include "server/MjpegStream.h"
#include "stats/TFormBandwidth.h"
#include "tests/app/ProgramFixture.h"
#include "tests/server/ServerClient.h"
#include "tests/support/VantrelTestMain.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>

#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Delimiter = "\r\n--vantrelframe\r\n"_ba;
const QSize Small{64, 48};
const QSize Large{640, 480}; // noise: about 300 KB a frame, enough to fill a slow viewer's socket

QImage noise(int seed, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(static_cast<quint32>(seed));
    random.fillRange(reinterpret_cast<quint32 *>(image.bits()), image.sizeInBytes() / 4);
    return image;
}

// The program with a scripted camera (frame 1 at the start) and its server on.
struct StreamedProgram : ProgramFixture {
    StreamedProgram()
    {
        capture->drivers = {{u"Camera"_s, u"1"_s}};
        show(1);
        start();
        FormMain->CheckBox->setChecked(true);
    }
    // Makes frame n the camera's newest and tells the program; the JPEG the viewers should get.
    QByteArray show(int n, QSize size = Small)
    {
        // Frame n was captured n seconds and n microseconds after 1970.
        capture->frame =
            CapturedFrame{CapturedFrame::State::Ready, noise(n, size), static_cast<quint64>(n), n * 1'000'001LL};
        capture->frameArrived();
        return EncodeJpeg(capture->frame.image, 75).value_or(QByteArray());
    }
};

struct StreamViewer {
    RawPeer peer;
    QByteArray bytes;

    bool open(const QByteArray &request, bool smallReceiveBuffer = false)
    {
        return peer.Connect(ServerPort(), smallReceiveBuffer) && peer.Send(request);
    }
    void readSome()
    {
        char buffer[65536];
        for (ssize_t got; (got = ::recv(peer.Handle(), buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            bytes.append(buffer, got);
    }
    bool receiveUpTo(const QByteArray &jpeg)
    {
        return TransferUntil([&] {
            readSome();
            return bytes.endsWith(jpeg + Delimiter);
        });
    }
};

// What the MIME parser makes of a capture: status, media type and boundary, then the parts.
QStringList parsed(const QByteArray &capture)
{
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {QStringLiteral(VANTREL_SOURCE_DIR "/tests/server/multipart_parts.py")});
    python.write(capture);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000))
        return {u"<python did not finish>"_s};
    return QString::fromLatin1(python.readAllStandardOutput() + python.readAllStandardError())
        .split(u'\n', Qt::SkipEmptyParts);
}

QStringList streamOf(const QList<QByteArray> &pictures)
{
    QStringList lines{u"HTTP/1.0 200 OK"_s, u"multipart/x-mixed-replace vantrelframe"_s};
    for (const QByteArray &jpeg : pictures)
        lines.append(u"image/jpeg %1 %1 %2"_s.arg(jpeg.size())
                         .arg(QLatin1StringView(QCryptographicHash::hash(jpeg, QCryptographicHash::Sha1).toHex())));
    return lines;
}

qint64 totalSent() { return FormBandwidth->Edit2->text().toLongLong(); }

} // namespace

class TestMjpegStream : public QObject {
    Q_OBJECT

private slots:
    void everyNewFrameGoesOnceToEveryViewer_data();
    void everyNewFrameGoesOnceToEveryViewer();
    void slowViewerSkipsFramesAndIsClosedWhenItTakesNothing();
    void streamsOutliveOfflineAndMissingFramesButNotTheServer_data();
    void streamsOutliveOfflineAndMissingFramesButNotTheServer();
};

void TestMjpegStream::everyNewFrameGoesOnceToEveryViewer_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("rest");
    QTest::newRow("browser") << "GET /stream.mjpg HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"_ba << QByteArray();
    QTest::newRow("without a version") << "GET /stream.mjpg\n"_ba << QByteArray();
    QTest::newRow("mjpg-streamer client") << "GET /?action=stream HTTP/1.1\r\n\r\n"_ba << QByteArray();
    QTest::newRow("head in two segments") << "GET /STREAM.MJPG HTTP/1.1\r\n"_ba
                                          << "Host: 127.0.0.1\r\n\r\n"_ba;
}

void TestMjpegStream::everyNewFrameGoesOnceToEveryViewer()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, rest);
    StreamedProgram program;
    const quint64 encodesBefore = FormMain->FrameJpeg->encodeCount();
    const qint64 totalBefore = totalSent();
    QList<QByteArray> frames{EncodeJpeg(program.capture->frame.image, 75).value()};

    StreamViewer first, second;
    QVERIFY(first.open(request) && second.open(request));
    // A head in pieces is answered once it has all come.
    if (!rest.isEmpty()) {
        PumpEvents(50);
        QCOMPARE(FormMain->Stream->ViewerCount(), 0);
        QVERIFY(first.peer.Send(rest) && second.peer.Send(rest));
    }
    QVERIFY(PumpUntil([] { return FormMain->Stream->ViewerCount() == 2; }));
    qint64 stillsSent = 0;
    for (int n = 2; n <= 5; ++n) {
        frames.append(program.show(n));
        program.capture->frameArrived(); // a second notice of the same frame sends nothing
        const QByteArray still = BodyOf(Exchange("GET /?action=snapshot HTTP/1.1\r\n\r\n"_ba));
        QCOMPARE(still, frames.last());
        stillsSent += still.size();
    }
    QVERIFY(first.receiveUpTo(frames.last()) && second.receiveUpTo(frames.last()));
    PumpEvents(100);
    first.readSome();
    QCOMPARE(parsed(first.bytes), streamOf(frames));
    QCOMPARE(parsed(second.bytes), parsed(first.bytes));
    QVERIFY(first.bytes.contains("Content-Length: "_ba + QByteArray::number(frames.last().size()) +
                                 "\r\nX-Timestamp: 5.000005\r\n\r\n"_ba + frames.last()));
    QCOMPARE(FormMain->FrameJpeg->encodeCount() - encodesBefore, quint64(frames.size()));
    qint64 framesSent = 0;
    for (const QByteArray &frame : frames)
        framesSent += 2 * frame.size();
    QTRY_COMPARE(totalSent() - totalBefore, framesSent + stillsSent);
}

void TestMjpegStream::slowViewerSkipsFramesAndIsClosedWhenItTakesNothing()
{
    StreamedProgram program;
    StreamViewer fast, slow;
    QVERIFY(fast.open("GET /stream.mjpg HTTP/1.1\r\n\r\n"_ba) &&
            slow.open("GET /stream.mjpg HTTP/1.1\r\n\r\n"_ba, true));
    QVERIFY(PumpUntil([] { return FormMain->Stream->ViewerCount() == 2; }));
    QList<QByteArray> frames{EncodeJpeg(program.capture->frame.image, 75).value()};
    for (int n = 2; n <= 30; ++n) {
        frames.append(program.show(n, Large));
        QVERIFY(fast.receiveUpTo(frames.last()));
    }
    QVERIFY(slow.receiveUpTo(frames.last()));
    QCOMPARE(parsed(fast.bytes), streamOf(frames));

    // The slow viewer got fewer frames, in order, and the newest one last.
    const QStringList slowParts = parsed(slow.bytes).mid(2);
    QList<qsizetype> shown;
    for (const QString &line : slowParts)
        shown.append(streamOf(frames).indexOf(line));
    QVERIFY2(shown.size() < frames.size(), qPrintable(u"%1 frames"_s.arg(shown.size())));
    QVERIFY(std::is_sorted(shown.begin(), shown.end()) && !shown.contains(-1));
    QCOMPARE(shown.last(), frames.size() + 1);

    // Now it takes nothing at all: it is closed, the fast one goes on.
    FormMain->Stream->IdleLimit = std::chrono::milliseconds(300);
    int n = 30;
    QVERIFY(TransferUntil(
        [&] {
            fast.readSome();
            if (FormMain->Stream->ViewerCount() == 1)
                return true;
            if (fast.bytes.endsWith(Delimiter))
                program.show(++n, Large);
            return false;
        },
        30000));
    slow.peer.ReceiveUntilClosed();
    QVERIFY(slow.peer.ClosedByServer());
    const QByteArray newest = program.show(++n);
    QVERIFY(fast.receiveUpTo(newest));
}

void TestMjpegStream::streamsOutliveOfflineAndMissingFramesButNotTheServer_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("offline") << u"offline"_s;
    QTest::newRow("no frames") << u"no frames"_s;
    QTest::newRow("server stopped") << u"server stopped"_s;
}

void TestMjpegStream::streamsOutliveOfflineAndMissingFramesButNotTheServer()
{
    QFETCH(QString, state);
    StreamedProgram program;
    FormMain->QuietStreamLimit = std::chrono::milliseconds(100);
    StreamViewer viewer;
    QVERIFY(viewer.open("GET /stream.mjpg HTTP/1.1\r\n\r\n"_ba));
    QList<QByteArray> expected{EncodeJpeg(program.capture->frame.image, 75).value()};
    QVERIFY(viewer.receiveUpTo(expected.first()));

    if (state == u"server stopped") {
        FormMain->CheckBox->setChecked(false);
        viewer.peer.ReceiveUntilClosed();
        QVERIFY(viewer.peer.ClosedByServer());
        QCOMPARE(FormMain->Stream->ViewerCount(), 0);
        return;
    }
    if (state == u"offline") {
        FormMain->Offline->setChecked(true);
        expected.append(OpenBuiltInResource(u"OfflineImage"_s)->readAll());
        program.show(2);
        program.show(3);
        FormMain->Offline->setChecked(false);
        expected.append(EncodeJpeg(program.capture->frame.image, 75).value());
    } else {
        program.capture->frame = CapturedFrame{};
        program.capture->frameArrived();
        QTRY_VERIFY(
            FormMain->LogLines().constLast().contains(u"No new frames for the stream; it waits for scripted source"_s));
    }
    expected.append(program.show(4));
    QVERIFY(viewer.receiveUpTo(expected.last()));
    QCOMPARE(parsed(viewer.bytes), streamOf(expected));
    QVERIFY(program.messages.messages.isEmpty());
    QCOMPARE(FormMain->Stream->ViewerCount(), 1);
}

VANTREL_TEST_MAIN(TestMjpegStream)
#include "TestMjpegStream.moc"
