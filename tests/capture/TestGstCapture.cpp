#include "capture/JpegImage.h"
#include "gst/GstStart.h"
#include "tests/capture/RealCapture.h"

namespace {

QString patternOf(GstElement *source)
{
    gchar *nick = nullptr;
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(g_object_class_find_property(G_OBJECT_GET_CLASS(source), "pattern")));
    g_object_get_property(G_OBJECT(source), "pattern", &value);
    GEnumValue *entry =
        g_enum_get_value(G_ENUM_CLASS(g_type_class_peek(G_VALUE_TYPE(&value))), g_value_get_enum(&value));
    nick = entry ? g_strdup(entry->value_nick) : nullptr;
    const QString text = QString::fromUtf8(nick);
    g_free(nick);
    g_value_unset(&value);
    return text;
}

} // namespace

class TestGstCapture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartGStreamer()); }
    void testPatternIsAlwaysTheLastDriver();
    void connectedPatternGivesFramesWithoutCopies();
    void grabbedFramesEncodeAtTheChosenQuality();
    void overlayIsRefusedAndPreviewShowsFrames();
    void formatChangeResizesAndTheNextFrameHasTheNewSize();
    void sourceChooserPicksThePatternAndCancelPutsItBack();
    void unknownDriverIsRefused();
};

void TestGstCapture::testPatternIsAlwaysTheLastDriver()
{
    const QList<CaptureSource> sources = ListCaptureSources();
    QVERIFY(!sources.isEmpty());
    QVERIFY(sources.constLast().isTestPattern());
    RealCapture capture;
    const DriverEntry last = capture.device->DriverNames().constLast();
    QCOMPARE(last.index, capture.pattern);
    QVERIFY2(last.description.startsWith(QStringLiteral("Built-in Test Pattern, GStreamer 1.")),
             qPrintable(last.description));
}

void TestGstCapture::connectedPatternGivesFramesWithoutCopies()
{
    RealCapture capture;
    QCOMPARE(capture.platform->currentFrame().state, CapturedFrame::State::Missing);
    capture.select(capture.pattern);
    QCOMPARE(capture.device->CurrentDriver(), capture.pattern);
    QCOMPARE(capture.device->CaptureWindow()->size(), QSize(320, 240));
    QCOMPARE(capture.parent.frameGeometry().size(), QSize(335, 270));

    const CapturedFrame first = capture.device->SaveFrameToMemory();
    QVERIFY(first.ready());
    QCOMPARE(first.image.size(), QSize(320, 240));
    // Asked again before a new frame arrives: the very same pixels, not a copy.
    const CapturedFrame again = capture.device->SaveFrameToMemory();
    if (again.serial == first.serial)
        QCOMPARE(again.image.constBits(), first.image.constBits());
    // The picture moves: a later frame differs.
    CapturedFrame later;
    for (int i = 0; i < 10 && (later.image.isNull() || later.image == first.image); ++i)
        later = capture.nextFrame();
    QVERIFY(later.serial > first.serial);
    QVERIFY(later.image != first.image);
}

void TestGstCapture::grabbedFramesEncodeAtTheChosenQuality()
{
    RealCapture capture;
    capture.select(capture.pattern);
    const CapturedFrame frame = capture.device->SaveFrameToMemory();
    JpegImage jpeg;
    jpeg.setQuality(90);
    QVERIFY(jpeg.encode(frame));
    const QByteArray fine = jpeg.data();
    jpeg.setQuality(10);
    QVERIFY(jpeg.encode(frame));
    QVERIFY(fine.size() > jpeg.data().size());
    QCOMPARE(QImage::fromData(fine, "JPEG").size(), QSize(320, 240));
}

void TestGstCapture::overlayIsRefusedAndPreviewShowsFrames()
{
    RealCapture capture;
    capture.select(capture.pattern);
    QVERIFY(!capture.device->SetOverlay(true));
    QVERIFY(capture.window()->previewing());
    QTRY_VERIFY(capture.window()->shownFrame().ready());
    const quint64 shown = capture.window()->shownFrame().serial;
    QTRY_VERIFY(capture.window()->shownFrame().serial > shown);

    capture.select(capture.pattern); // preview off, then on again
    QVERIFY(capture.window()->previewing());
}

void TestGstCapture::formatChangeResizesAndTheNextFrameHasTheNewSize()
{
    RealCapture capture;
    capture.select(capture.pattern);
    chooseInDialog(QStringLiteral("SizeList"), QStringLiteral("640 x 480"), true);
    capture.showFormatDialog();
    QCOMPARE(capture.device->CaptureWindow()->size(), QSize(640, 480));
    QCOMPARE(capture.parent.frameGeometry().size(), QSize(655, 510));
    QCOMPARE(capture.device->SaveFrameToMemory().image.size(), QSize(640, 480));

    // Cancelled: nothing changes.
    chooseInDialog(QStringLiteral("SizeList"), QStringLiteral("160 x 120"), false);
    capture.showFormatDialog();
    QCOMPARE(capture.device->SaveFrameToMemory().image.size(), QSize(640, 480));
}

void TestGstCapture::sourceChooserPicksThePatternAndCancelPutsItBack()
{
    RealCapture capture;
    capture.select(capture.pattern);
    QCOMPARE(patternOf(capture.platform->session()->source()), QStringLiteral("smpte"));

    chooseInDialog(QStringLiteral("PatternList"), QStringLiteral("ball"), false);
    capture.device->ShowSourceDialog();
    QCOMPARE(patternOf(capture.platform->session()->source()), QStringLiteral("smpte"));

    chooseInDialog(QStringLiteral("PatternList"), QStringLiteral("ball"), true);
    capture.device->ShowSourceDialog();
    QCOMPARE(patternOf(capture.platform->session()->source()), QStringLiteral("ball"));
    // The choice outlives the connection.
    capture.platform->disconnectDriver();
    capture.select(capture.pattern);
    QCOMPARE(patternOf(capture.platform->session()->source()), QStringLiteral("ball"));
}

void TestGstCapture::unknownDriverIsRefused()
{
    RealCapture capture;
    QCOMPARE(capture.platform->connectDriver(capture.pattern + 1), Connection::Refused);
    QCOMPARE(capture.platform->connectDriver(-1), Connection::Refused);
    capture.select(capture.pattern + 1);
    QCOMPARE(capture.device->CurrentDriver(), -1);
    QVERIFY(!capture.platform->status());
    QCOMPARE(capture.device->FrameSource(), QStringLiteral("a frame: no capture driver is connected"));
}

QTEST_MAIN(TestGstCapture)
#include "TestGstCapture.moc"
