#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"
#include "capture/TFormPreview.h"
#include "stats/TFormBandwidth.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace {

const QString Stamp = u"12-07-26 14:05:09: "_s;

QImage picture(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    for (int x = 0; x < size.width(); ++x)
        image.setPixel(x, x % size.height(), qRgb(x % 256, 255 - x % 256, 40));
    return image;
}

CapturedFrame readyFrame(const QImage &image, quint64 serial)
{
    return CapturedFrame{CapturedFrame::State::Ready, image, serial};
}

// A started program whose only driver gives the frames the test puts in.
struct ProgramWithCamera : ProgramFixture {
    ProgramWithCamera()
    {
        capture->drivers = {{u"Camera"_s, u"1"_s}};
        start();
    }
};

QStringList lastLines(int count)
{
    const QStringList lines = FormMain->LogLines();
    return lines.mid(lines.size() - count);
}

} // namespace

class TestFrameGrab : public QObject {
    Q_OBJECT

private slots:
    void grabEncodesTheFrameAtTheBarsQuality();
    void missingFrameIsReportedAndStopsServerAndAutoCapture();
    void missingFrameStopsOnlyWhatRuns();
    void grabWhileTheErrorBoxIsOpenDoesNothing();
    void damagedFrameKeepsThePreviousPicture();
    void frameStreamCarriesTheJpegAndRecordsItsSize();
    void realTestPatternThroughTheProgram();
    void closingThePreviewClosesTheMainWindow();
};

void TestFrameGrab::grabEncodesTheFrameAtTheBarsQuality()
{
    ProgramWithCamera program;
    const QImage image = picture({64, 48}, qRgb(10, 120, 200));
    program.capture->frame = readyFrame(image, 1);
    QVERIFY(FormMain->GrabFrame());
    QVERIFY(!GrabInProgress);
    QCOMPARE(*FormMain->FrameBitmap, image);
    QCOMPARE(QImage::fromData(FormMain->FrameJpeg->data(), "JPEG").size(), QSize(64, 48));
    const QByteArray at75 = FormMain->FrameJpeg->data();

    // The bar's new position applies from the next grab, not to the bytes held.
    FormMain->JPEGQuality->setValue(10);
    QCOMPARE(FormMain->GroupBoxJpeg->title(), u"JPEG Image Quality (10%)"_s);
    QCOMPARE(FormMain->FrameJpeg->data(), at75);
    QVERIFY(FormMain->GrabFrame());
    QVERIFY(FormMain->FrameJpeg->data().size() < at75.size());
}

void TestFrameGrab::missingFrameIsReportedAndStopsServerAndAutoCapture()
{
    ProgramWithCamera program;
    program.capture->frame = readyFrame(picture({32, 24}, qRgb(1, 2, 3)), 1);
    QVERIFY(FormMain->GrabFrame());
    const QByteArray previous = FormMain->FrameJpeg->data();

    program.capture->frame = {};
    FormMain->CheckBox->setChecked(true);
    FormMain->AutoCapture->setChecked(true);
    QVERIFY(FormMain->GrabFrame());
    QCOMPARE(program.messages.messages.size(), 1);
    QCOMPARE(program.messages.messages.at(0).caption, u"Error!"_s);
    QCOMPARE(program.messages.messages.at(0).text, u"Can not find scripted source"_s);
    QCOMPARE(lastLines(4), QStringList({Stamp + u"Could not find scripted source"_s, Stamp + u"Stopping server!!!"_s,
                                        Stamp + u"Server stopped!"_s, Stamp + u"Stopping autocapture!!!"_s}));
    QVERIFY(!FormMain->CheckBox->isChecked());
    QVERIFY(!FormMain->AutoCapture->isChecked());
    QCOMPARE(FormMain->FrameJpeg->data(), previous);
    QVERIFY(!GrabInProgress);
}

void TestFrameGrab::missingFrameStopsOnlyWhatRuns()
{
    ProgramWithCamera program;
    FormMain->AutoCapture->setChecked(true);
    FormMain->GrabFrame();
    QCOMPARE(lastLines(2),
             QStringList({Stamp + u"Could not find scripted source"_s, Stamp + u"Stopping autocapture!!!"_s}));
    FormMain->GrabFrame();
    QCOMPARE(lastLines(1), QStringList({Stamp + u"Could not find scripted source"_s}));
    QCOMPARE(program.messages.messages.size(), 2);
}

void TestFrameGrab::grabWhileTheErrorBoxIsOpenDoesNothing()
{
    ProgramWithCamera program;
    bool innerGrab = true;
    qint64 innerStreamSize = -1;
    program.messages.whileOpen = [&](const RecordedMessage &) {
        // A request arriving while the box is open.
        innerGrab = FormMain->GrabFrame();
        innerStreamSize = FormMain->BuildFrameStream()->size();
    };
    QVERIFY(FormMain->GrabFrame());
    QVERIFY(!innerGrab);
    QCOMPARE(innerStreamSize, 0);
    QCOMPARE(FormBandwidth->Edit1->text(), u"0"_s);
    QCOMPARE(program.messages.messages.size(), 1);
    QVERIFY(!GrabInProgress);

    program.messages.whileOpen = nullptr;
    program.capture->frame = readyFrame(picture({16, 16}, qRgb(9, 9, 9)), 5);
    QVERIFY(FormMain->GrabFrame());
    QVERIFY(!FormMain->FrameJpeg->isEmpty());
}

void TestFrameGrab::damagedFrameKeepsThePreviousPicture()
{
    ProgramWithCamera program;
    const QImage good = picture({32, 24}, qRgb(200, 0, 0));
    program.capture->frame = readyFrame(good, 1);
    FormMain->GrabFrame();
    const QByteArray previous = FormMain->FrameJpeg->data();
    FormMain->CheckBox->setChecked(true);

    program.capture->frame = CapturedFrame{CapturedFrame::State::Damaged, {}, 2};
    QVERIFY(FormMain->GrabFrame());
    QVERIFY(!GrabInProgress);
    QCOMPARE(FormMain->FrameJpeg->data(), previous);
    QCOMPARE(*FormMain->FrameBitmap, good);
    QVERIFY(program.messages.messages.isEmpty());
    QVERIFY(FormMain->CheckBox->isChecked());
    QCOMPARE(lastLines(1), QStringList({Stamp + u"Could not read the captured frame; keeping the previous picture"_s}));
}

void TestFrameGrab::frameStreamCarriesTheJpegAndRecordsItsSize()
{
    ProgramWithCamera program;
    std::unique_ptr<QBuffer> empty = FormMain->BuildFrameStream();
    QCOMPARE(empty->size(), 0);
    QCOMPARE(FormBandwidth->Edit1->text(), u"0"_s);

    program.capture->frame = readyFrame(picture({40, 30}, qRgb(0, 200, 0)), 3);
    FormMain->GrabFrame();
    std::unique_ptr<QBuffer> stream = FormMain->BuildFrameStream();
    QCOMPARE(stream->pos(), 0);
    QVERIFY(stream->isReadable());
    QCOMPARE(stream->readAll(), FormMain->FrameJpeg->data());
    QTRY_COMPARE(FormBandwidth->Edit1->text(), QString::number(FormMain->FrameJpeg->data().size()));
}

void TestFrameGrab::realTestPatternThroughTheProgram()
{
    ProgramFixture program({}, ProgramFixture::CaptureKind::System);
    program.start();
    const QList<QAction *> items = FormMain->Source->actions();
    QVERIFY(!items.isEmpty());
    QVERIFY(items.constLast()->text().startsWith(u"Built-in Test Pattern, GStreamer "_s));
    QVERIFY(items.constFirst()->isChecked());
    QVERIFY(FormMain->LogLines().contains(Stamp + u"Capture driver does not support Hardware Overlay! Disabled"_s));

    // Choosing the pattern: overlay asked for, refused, then the source line.
    items.constLast()->trigger();
    QCOMPARE(lastLines(3), QStringList({Stamp + u"Toggled hardware overlay to ON"_s,
                                        Stamp + u"Capture driver does not support Hardware Overlay! Disabled"_s,
                                        Stamp + u"Changed capture source"_s}));
    QCOMPARE(FormPreview->frameGeometry().size(), QSize(335, 270));
    QCOMPARE(FormPreview->pos(), QPoint(0, 0));

    QVERIFY(FormMain->GrabFrame());
    QCOMPARE(FormMain->FrameBitmap->size(), QSize(320, 240));
    QCOMPARE(QImage::fromData(FormMain->FrameJpeg->data(), "JPEG").size(), QSize(320, 240));
    QVERIFY(program.messages.messages.isEmpty());
}

void TestFrameGrab::closingThePreviewClosesTheMainWindow()
{
    ProgramWithCamera program;
    QVERIFY(FormMain->isVisible());
    FormPreview->close();
    QVERIFY(!FormMain->isVisible());
}

VANTREL_TEST_MAIN(TestFrameGrab)
#include "TestFrameGrab.moc"
