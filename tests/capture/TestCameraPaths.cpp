#include "capture/JpegImage.h"
#include "gst/GstStart.h"
#include "tests/app/ProgramFixture.h"
#include "tests/capture/RealCapture.h"
#include "tests/server/ServerClient.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/VantrelTestMain.h"

#include <QScopeGuard>
#include <QSlider>

#include <gst/video/colorbalance.h>

using namespace Qt::StringLiterals;

namespace {

const QString Stamp = u"12-07-26 14:05:09: "_s;
const QString Camera = u"Fake Camera"_s;
const QString JpegCamera = u"Fake MJPEG Camera"_s;
const QString UsbCamera = u"Fake USB Camera"_s;
constexpr const char *UsbCameraPaths[] = {"/dev/video-fake2", "/dev/video-fake3"};

// The media type the source element sends: "video/x-raw" or "image/jpeg".
QString mediaOf(GstElement *source)
{
    GstPad *pad = gst_element_get_static_pad(source, "src");
    GstCaps *caps = gst_pad_get_current_caps(pad);
    const QString media = caps ? QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0))) : QString();
    if (caps)
        gst_caps_unref(caps);
    gst_object_unref(pad);
    return media;
}

QStringList offeredSizes(RealCapture &capture)
{
    QStringList sizes;
    answerNextDialog([&sizes](QDialog *dialog) {
        auto *list = dialog->findChild<QComboBox *>(u"SizeList"_s);
        for (int i = 0; list && i < list->count(); ++i)
            sizes.append(list->itemText(i));
        dialog->reject();
    });
    capture.showFormatDialog();
    return sizes;
}

QSize jpegSize(const QByteArray &jpeg) { return QImage::fromData(jpeg, "JPEG").size(); }

// The "Video Source" items as "name:checked", e.g. "Fake Camera:1", the pattern as "pattern".
QStringList sourceItems()
{
    QStringList items;
    for (QAction *item : FormMain->Source->actions()) {
        const QString name =
            item->text().startsWith(u"Built-in Test Pattern"_s) ? u"pattern"_s : item->text().section(u',', 0, 0);
        items.append(name + u':' + QString::number(item->isChecked()));
    }
    return items;
}

bool logged(const QString &line) { return FormMain->LogLines().contains(Stamp + line); }

int loggedCount(const QString &start) { return static_cast<int>(FormMain->LogLines().filter(Stamp + start).size()); }

void plugUsbCameras(bool plugIn)
{
    for (const char *path : UsbCameraPaths)
        fakecamera::SetPlugged(path, plugIn);
}

} // namespace

class TestCameraPaths : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sourceMenuListsTheCamerasAndAnUnpluggedOneIsReportedAndRecovers();
    void sourceMenuFollowsCamerasPluggedInAndRemoved();
    void identicalCamerasPluggedInUnderTheFormatChooserAreToldApart();
    void choosingAStalledCameraAgainReconnectsIt();
    void formatChooserOffersTheCamerasSizes_data();
    void formatChooserOffersTheCamerasSizes();
    void grabComesThroughTheCamerasFormat_data();
    void grabComesThroughTheCamerasFormat();
    void sourceChooserShowsPictureControlsWhereOffered_data();
    void sourceChooserShowsPictureControlsWhereOffered();
    void grabAtOnceAfterASwitchEncodesTheNewPicture();
    void switchToAHangingCameraEndsWhenItsWaitRunsOut();
};

void TestCameraPaths::initTestCase()
{
    QVERIFY(StartGStreamer());
    QVERIFY(fakecamera::Register());
}

void TestCameraPaths::sourceMenuListsTheCamerasAndAnUnpluggedOneIsReportedAndRecovers()
{
    ProgramFixture program({}, ProgramFixture::CaptureKind::System);
    program.start();
    const QList<QAction *> items = FormMain->Source->actions();
    QCOMPARE(sourceItems(), QStringList({u"Fake Camera:1"_s, u"Fake MJPEG Camera:0"_s, u"pattern:0"_s}));
    QCOMPARE(items.at(0)->text(), u"Fake Camera, fakecam 6.1.1 (v4l2)"_s);
    QCOMPARE(items.at(1)->text(), u"Fake MJPEG Camera, fakecam 6.1.1 (v4l2)"_s);
    QVERIFY2(items.at(2)->text().startsWith(u"Built-in Test Pattern, GStreamer 1."_s), qPrintable(items.at(2)->text()));
    QCOMPARE(Capture->CurrentDriver(), 0);

    QVERIFY(FormMain->GrabFrame());
    QCOMPARE(FormMain->FrameBitmap->size(), QSize(320, 240));

    FormMain->CheckBox->setChecked(true);
    fakecamera::UnplugAll(2);
    QTRY_COMPARE(Capture->SaveFrameToMemory().state, CapturedFrame::State::Missing);
    FormMain->GrabFrame();
    QCOMPARE(program.messages.texts(), QStringList({u"Can not find a frame from /dev/video-fake0"_s}));
    QVERIFY(FormMain->LogLines().contains(Stamp + u"Could not find a frame from /dev/video-fake0"_s));
    QVERIFY(FormMain->LogLines().contains(Stamp + u"Stopping server!!!"_s));
    QVERIFY(!FormMain->CheckBox->isChecked());

    FormMain->Source->actions().at(0)->trigger();
    QTRY_VERIFY(!Capture->Connecting());
    QCOMPARE(Capture->CurrentDriver(), 0);
    QVERIFY(Capture->SaveFrameToMemory().ready());
    QVERIFY(FormMain->GrabFrame());
    QCOMPARE(program.messages.messages.size(), 1);
    QCOMPARE(jpegSize(FormMain->FrameJpeg->data()), QSize(320, 240));
}

void TestCameraPaths::sourceMenuFollowsCamerasPluggedInAndRemoved()
{
    const auto unplug = qScopeGuard([] { plugUsbCameras(false); });
    const auto replug = qScopeGuard([] { fakecamera::SetPlugged("Fake MJPEG Camera", true); });
    ProgramFixture program({}, ProgramFixture::CaptureKind::System);
    program.start();
    QAction *first = FormMain->Source->actions().constFirst();
    QAction *pattern = FormMain->Source->actions().constLast();

    fakecamera::SetPlugged("Fake USB Camera", true);
    QTRY_VERIFY(logged(u"Camera connected: Fake USB Camera"_s));
    QCOMPARE(sourceItems(),
             QStringList({u"Fake Camera:1"_s, u"Fake MJPEG Camera:0"_s, u"Fake USB Camera:0"_s, u"pattern:0"_s}));
    QCOMPARE(FormMain->Source->actions().constFirst(), first);
    QCOMPARE(pattern->data().toInt(), 2);
    QAction *usb = FormMain->Source->actions().at(2);

    fakecamera::SetPlugged("Fake MJPEG Camera", false);
    QTRY_VERIFY(logged(u"Camera removed: Fake MJPEG Camera"_s));
    QCOMPARE(sourceItems(), QStringList({u"Fake Camera:1"_s, u"Fake USB Camera:0"_s, u"pattern:0"_s}));

    // The camera in use goes: it stays chosen, and a grab reports the missing frame.
    usb->trigger();
    QTRY_VERIFY(FormMain->GrabFrame());
    fakecamera::SetPlugged("Fake USB Camera", false);
    QTRY_VERIFY(logged(u"Camera removed: Fake USB Camera"_s));
    QCOMPARE(sourceItems(), QStringList({u"Fake Camera:0"_s, u"Fake USB Camera:1"_s, u"pattern:0"_s}));
    QTRY_COMPARE(Capture->SaveFrameToMemory().state, CapturedFrame::State::Missing);
    FormMain->GrabFrame();
    QCOMPARE(program.messages.texts(), QStringList({u"Can not find a frame from /dev/video-fake2"_s}));

    // Back under the same name, its item can be chosen again.
    fakecamera::SetPlugged("Fake USB Camera", true);
    QTRY_COMPARE(FormMain->LogLines().count(Stamp + u"Camera connected: Fake USB Camera"_s), 2);
    QCOMPARE(FormMain->Source->actions().at(1), usb);
    usb->trigger();
    QTRY_VERIFY(Capture->SaveFrameToMemory().ready());

    // Gone and no longer chosen, it leaves the menu.
    fakecamera::SetPlugged("Fake USB Camera", false);
    QTRY_COMPARE(FormMain->LogLines().count(Stamp + u"Camera removed: Fake USB Camera"_s), 2);
    first->trigger();
    QCOMPARE(sourceItems(), QStringList({u"Fake Camera:1"_s, u"pattern:0"_s}));
    QCOMPARE(program.messages.messages.size(), 1);
}

void TestCameraPaths::identicalCamerasPluggedInUnderTheFormatChooserAreToldApart()
{
    const auto unplug = qScopeGuard([] { plugUsbCameras(false); });
    ProgramFixture program({}, ProgramFixture::CaptureKind::System);
    program.start();
    answerNextDialog([](QDialog *dialog) {
        plugUsbCameras(true);
        [[maybe_unused]] const bool plugged = QTest::qWaitFor([] { return loggedCount(u"Camera connected"_s) == 2; });
        auto *list = dialog->findChild<QComboBox *>(u"SizeList"_s);
        list->setCurrentIndex(list->findText(u"640 x 480"_s));
        dialog->accept();
    });
    FormMain->Format1Click();
    QCOMPARE(loggedCount(u"Camera connected"_s), 2);
    QTRY_COMPARE(Capture->SaveFrameToMemory().image.size(), QSize(640, 480));

    // The two cameras of the same name get items of their own, and each comes back to its own.
    QCOMPARE(sourceItems(), QStringList({u"Fake Camera:1"_s, u"Fake MJPEG Camera:0"_s, u"Fake USB Camera:0"_s,
                                         u"Fake USB Camera (2):0"_s, u"pattern:0"_s}));
    QAction *second = FormMain->Source->actions().at(3);
    second->trigger();
    plugUsbCameras(false);
    QTRY_COMPARE(loggedCount(u"Camera removed"_s), 2);
    fakecamera::SetPlugged(UsbCameraPaths[1], true);
    QTRY_COMPARE(loggedCount(u"Camera connected: Fake USB Camera (2)"_s), 2);
    QCOMPARE(sourceItems(),
             QStringList({u"Fake Camera:0"_s, u"Fake MJPEG Camera:0"_s, u"Fake USB Camera (2):1"_s, u"pattern:0"_s}));
    QCOMPARE(FormMain->Source->actions().at(2), second);
}

void TestCameraPaths::choosingAStalledCameraAgainReconnectsIt()
{
    RealCapture capture;
    capture.platform->stallLimit = std::chrono::milliseconds(0);
    const int camera = capture.driverNamed(Camera);
    capture.select(camera);
    fakecamera::HangAll();
    const quint64 last = capture.device->SaveFrameToMemory().serial;
    capture.select(camera);
    // More frames than could have been on their way when it stopped.
    QTRY_VERIFY(capture.device->SaveFrameToMemory().serial > last + 3);
}

void TestCameraPaths::formatChooserOffersTheCamerasSizes_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QStringList>("sizes");
    QTest::newRow("YUY2 and MJPEG") << Camera
                                    << QStringList({u"320 x 240"_s, u"640 x 480"_s, u"1280 x 720"_s, u"1920 x 1080"_s});
    QTest::newRow("MJPEG only") << JpegCamera << QStringList({u"640 x 480"_s, u"1280 x 720"_s});
}

void TestCameraPaths::formatChooserOffersTheCamerasSizes()
{
    QFETCH(QString, camera);
    QFETCH(QStringList, sizes);
    RealCapture capture;
    capture.select(capture.driverNamed(camera));
    QCOMPARE(offeredSizes(capture), sizes);
}

void TestCameraPaths::grabComesThroughTheCamerasFormat_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("media");
    QTest::newRow("YUY2 at the start size") << Camera << QSize(320, 240) << u"video/x-raw"_s;
    QTest::newRow("YUY2 chosen") << Camera << QSize(640, 480) << u"video/x-raw"_s;
    QTest::newRow("MJPEG chosen") << Camera << QSize(1920, 1080) << u"image/jpeg"_s;
    QTest::newRow("MJPEG-only camera") << JpegCamera << QSize(640, 480) << u"image/jpeg"_s;
    QTest::newRow("MJPEG where it comes faster") << UsbCamera << QSize(1280, 720) << u"image/jpeg"_s;
    QTest::newRow("YUY2 at the same rate") << UsbCamera << QSize(320, 240) << u"video/x-raw"_s;
}

void TestCameraPaths::grabComesThroughTheCamerasFormat()
{
    QFETCH(QString, camera);
    QFETCH(QSize, size);
    QFETCH(QString, media);
    const auto unplug = qScopeGuard([] { plugUsbCameras(false); });
    plugUsbCameras(camera == UsbCamera);
    RealCapture capture;
    const int index = capture.driverNamed(camera);
    QVERIFY(capture.platform->chooseSize(index, size));
    capture.select(index);
    QCOMPARE(capture.device->CurrentDriver(), index);
    QCOMPARE(capture.device->CaptureWindow()->size(), size);
    QCOMPARE(mediaOf(capture.platform->session()->source()), media);

    const CapturedFrame first = capture.device->SaveFrameToMemory();
    QCOMPARE(first.image.size(), size);
    JpegImage jpeg;
    QVERIFY(jpeg.encode(first));
    QCOMPARE(jpegSize(jpeg.data()), size);
    // A moving picture: a later frame differs.
    CapturedFrame later;
    for (int i = 0; i < 10 && (later.image.isNull() || later.image == first.image); ++i)
        later = capture.nextFrame();
    QVERIFY(later.image != first.image);
}

void TestCameraPaths::sourceChooserShowsPictureControlsWhereOffered_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<int>("controls");
    QTest::newRow("with picture controls") << Camera << 4;
    QTest::newRow("without") << JpegCamera << 0;
}

void TestCameraPaths::sourceChooserShowsPictureControlsWhereOffered()
{
    QFETCH(QString, camera);
    QFETCH(int, controls);
    RealCapture capture;
    capture.select(capture.driverNamed(camera));
    auto *balance = GST_COLOR_BALANCE(capture.platform->session()->source());
    GstColorBalanceChannel *first = nullptr;
    if (const GList *channels = gst_color_balance_list_channels(balance))
        first = GST_COLOR_BALANCE_CHANNEL(channels->data);
    const int before = first ? gst_color_balance_get_value(balance, first) : 0;

    int shown = -1;
    int whileOpen = 0;
    answerNextDialog([&](QDialog *dialog) {
        const QList<QSlider *> sliders = dialog->findChildren<QSlider *>();
        shown = static_cast<int>(sliders.size());
        if (first && !sliders.isEmpty()) {
            sliders.at(0)->setValue(first->max_value);
            whileOpen = gst_color_balance_get_value(balance, first);
        }
        dialog->reject();
    });
    capture.device->ShowSourceDialog();
    QCOMPARE(shown, controls);
    if (first) {
        // The change shows at once; Cancel puts it back.
        QCOMPARE(whileOpen, first->max_value);
        QCOMPARE(gst_color_balance_get_value(balance, first), before);
    }
}

void TestCameraPaths::grabAtOnceAfterASwitchEncodesTheNewPicture()
{
    auto capture = std::make_unique<RealCapture>();
    const int camera = capture->driverNamed(Camera);
    const int jpegCamera = capture->driverNamed(JpegCamera);
    JpegImage jpeg;
    const auto grabAtOnce = [&] {
        const CapturedFrame frame = capture->device->SaveFrameToMemory();
        QVERIFY(jpeg.encode(frame));
        QCOMPARE(jpegSize(jpeg.data()), frame.image.size());
        QCOMPARE(jpegSize(jpeg.data()), capture->device->CaptureWindow()->size());
    };
    for (int round = 0; round < 2; ++round) {
        capture->select(camera);
        grabAtOnce();
        for (const QString &size : {u"1920 x 1080"_s, u"640 x 480"_s, u"1280 x 720"_s, u"320 x 240"_s}) {
            chooseInDialog(u"SizeList"_s, size, true);
            capture->showFormatDialog();
            grabAtOnce();
            if (QTest::currentTestFailed())
                return;
        }
        capture->select(jpegCamera);
        grabAtOnce();
    }
    // All those reconnects leave no source element behind.
    chooseInDialog(u"SizeList"_s, u"1280 x 720"_s, true);
    capture->showFormatDialog();
    QCOMPARE(fakecamera::ElementsAlive(), 1);
    capture.reset();
    QCOMPARE(fakecamera::ElementsAlive(), 0);
}

void TestCameraPaths::switchToAHangingCameraEndsWhenItsWaitRunsOut()
{
    const auto plugBack = qScopeGuard([] { fakecamera::SetHung(false); });
    ProgramFixture program({}, ProgramFixture::CaptureKind::System);
    program.start();
    FormMain->CheckBox->setChecked(true);
    QVERIFY(FormMain->GrabFrame());
    fakecamera::SetHung(true);

    Capture->SelectDriver(1); // Fake MJPEG Camera, after Fake Camera
    QCOMPARE(Capture->SaveFrameToMemory().state, CapturedFrame::State::Connecting);
    // The server goes on answering, with the last picture, while the switch waits its 5 s.
    QCOMPARE(Exchange("GET /pic1.jpg\n"), FormMain->FrameJpeg->data());
    QVERIFY(Capture->Connecting());
    QTRY_VERIFY_WITH_TIMEOUT(!Capture->Connecting(), 10000);
    QCOMPARE(Capture->CurrentDriver(), 0);
    QCOMPARE(Capture->SaveFrameToMemory().state, CapturedFrame::State::Missing);
    QCOMPARE(fakecamera::ElementsAlive(), 0);

    // The old driver is not started again on the way to the next one.
    const int pattern = static_cast<int>(Capture->DriverNames().size()) - 1;
    Capture->SelectDriver(pattern);
    QCOMPARE(fakecamera::ElementsAlive(), 0);
    QTRY_VERIFY(!Capture->Connecting());
    QCOMPARE(Capture->CurrentDriver(), pattern);
    QVERIFY(Capture->SaveFrameToMemory().ready());
}

VANTREL_TEST_MAIN(TestCameraPaths)
#include "TestCameraPaths.moc"
