#include "capture/JpegEncoder.h"
#include "capture/JpegImage.h"

#include <QTest>

namespace {

// A picture with detail, so quality makes a difference to the size.
QImage testPicture(QImage::Format format, QSize size = {64, 48})
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, ((x ^ y) * 29) % 256));
    }
    return picture.convertToFormat(format);
}

QImage decode(const QByteArray &jpeg) { return QImage::fromData(jpeg, "JPEG"); }

bool hasMarker(const QByteArray &jpeg, char marker) { return jpeg.contains(QByteArray("\xFF", 1) + marker); }

CapturedFrame frameOf(const QImage &image, quint64 serial)
{
    return CapturedFrame{CapturedFrame::State::Ready, image, serial};
}

} // namespace

class TestJpegEncoder : public QObject {
    Q_OBJECT

private slots:
    void encodesEveryPixelLayoutFaithfully_data();
    void encodesEveryPixelLayoutFaithfully();
    void baselineJfifAndQualityScaling();
    void nothingForNoPicture();
    void jpegImageReusesAndKeepsBytes();
};

void TestJpegEncoder::encodesEveryPixelLayoutFaithfully_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("RGB32 (camera BGRx)") << QImage::Format_RGB32;
    QTest::newRow("RGB888") << QImage::Format_RGB888;
    QTest::newRow("BGR888") << QImage::Format_BGR888;
    QTest::newRow("RGBX8888") << QImage::Format_RGBX8888;
    QTest::newRow("RGB16 (converted)") << QImage::Format_RGB16;
}

void TestJpegEncoder::encodesEveryPixelLayoutFaithfully()
{
    QFETCH(QImage::Format, format);
    // Flat colour blocks survive JPEG almost unchanged, so a swapped channel shows.
    QImage picture(32, 16, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 60));
    for (int y = 0; y < 16; ++y) {
        for (int x = 16; x < 32; ++x)
            picture.setPixel(x, y, qRgb(20, 90, 220));
    }
    const std::optional<QByteArray> jpeg = EncodeJpeg(picture.convertToFormat(format), 95);
    QVERIFY(jpeg);
    const QImage decoded = decode(*jpeg);
    QCOMPARE(decoded.size(), QSize(32, 16));
    for (auto [point, expected] :
         {std::pair(QPoint(4, 8), qRgb(200, 30, 60)), std::pair(QPoint(27, 8), qRgb(20, 90, 220))}) {
        const QRgb got = decoded.pixel(point);
        QVERIFY2(qAbs(qRed(got) - qRed(expected)) < 12 && qAbs(qGreen(got) - qGreen(expected)) < 12 &&
                     qAbs(qBlue(got) - qBlue(expected)) < 12,
                 qPrintable(QStringLiteral("pixel %1 is %2").arg(point.x()).arg(got, 8, 16)));
    }
}

void TestJpegEncoder::baselineJfifAndQualityScaling()
{
    const QImage picture = testPicture(QImage::Format_RGB32, {320, 240});
    const QByteArray q90 = *EncodeJpeg(picture, 90);
    const QByteArray q10 = *EncodeJpeg(picture, 10);
    QVERIFY(q90.size() > q10.size());
    QVERIFY(q90.startsWith("\xFF\xD8\xFF\xE0") && q90.mid(6, 5) == QByteArray("JFIF\0", 5));
    QVERIFY(q90.endsWith("\xFF\xD9"));
    QVERIFY(hasMarker(q90, '\xC0'));  // baseline frame
    QVERIFY(!hasMarker(q90, '\xC2')); // never progressive
    // Below 1 acts as 1; above 100 as 100.
    QCOMPARE(*EncodeJpeg(picture, 0), *EncodeJpeg(picture, 1));
    QCOMPARE(*EncodeJpeg(picture, 250), *EncodeJpeg(picture, 100));
    QVERIFY(*EncodeJpeg(picture, 1) != *EncodeJpeg(picture, 2));
}

void TestJpegEncoder::nothingForNoPicture() { QVERIFY(!EncodeJpeg(QImage(), 75)); }

void TestJpegEncoder::jpegImageReusesAndKeepsBytes()
{
    JpegImage jpeg;
    QVERIFY(jpeg.isEmpty());
    const QImage picture = testPicture(QImage::Format_RGB32);
    QVERIFY(jpeg.encode(frameOf(picture, 7)));
    const QByteArray first = jpeg.data();
    QCOMPARE(decode(first).size(), picture.size());

    // The same frame at the same quality keeps the very same bytes.
    QVERIFY(jpeg.encode(frameOf(picture, 7)));
    QCOMPARE(jpeg.data().constData(), first.constData());

    // A new quality applies from the next encoding only.
    jpeg.setQuality(10);
    QCOMPARE(jpeg.data(), first);
    QVERIFY(jpeg.encode(frameOf(picture, 7)));
    QVERIFY(jpeg.data().size() < first.size());

    // A frame that cannot be encoded leaves the last good bytes.
    const QByteArray good = jpeg.data();
    QVERIFY(!jpeg.encode(frameOf(QImage(), 8)));
    QCOMPARE(jpeg.data(), good);
}

QTEST_GUILESS_MAIN(TestJpegEncoder)
#include "TestJpegEncoder.moc"
