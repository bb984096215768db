// The frame comparison on its own: sample grid, brightness, threshold, sizes.
#include "snapshot/MotionDetection.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QImage filled(QSize size, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.convertToFormat(format);
}

// The first `count` sample points, row by row, set to the colour.
QImage withSamplePoints(QImage image, int count, QRgb colour)
{
    for (int y = 0; y < image.height() && count > 0; y += motion::SampleSpacing) {
        for (int x = 0; x < image.width() && count > 0; x += motion::SampleSpacing, --count)
            image.setPixel(x, y, colour);
    }
    return image;
}

// Every pixel whose column or row is not a multiple of 4 set to the colour.
QImage offGrid(QImage image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (x % motion::SampleSpacing != 0 || y % motion::SampleSpacing != 0)
                image.setPixel(x, y, colour);
        }
    }
    return image;
}

void releaseFlag(void *flag) { *static_cast<bool *>(flag) = true; }

} // namespace

class TestMotionDetection : public QObject {
    Q_OBJECT

private slots:
    void thresholdFollowsSensitivity();
    void countsChangedSamplePoints_data();
    void countsChangedSamplePoints();
    void sizesWithDifferentSumsAreNotCompared();
    void keptFrameOwnsItsPixels();
};

void TestMotionDetection::thresholdFollowsSensitivity()
{
    QCOMPARE(motion::ThresholdFor(1), 297);
    QCOMPARE(motion::ThresholdFor(50), 150);
    QCOMPARE(motion::ThresholdFor(90), 30);
    QCOMPARE(motion::ThresholdFor(100), 0);
    QVERIFY(motion::EnoughMotion(150, 150));
    QVERIFY(!motion::EnoughMotion(149, 150));
    QVERIFY(motion::EnoughMotion(0, 0));
}

void TestMotionDetection::countsChangedSamplePoints_data()
{
    QTest::addColumn<QImage>("previous");
    QTest::addColumn<QImage>("current");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("expected");

    const QImage grey = filled({320, 240}, qRgb(10, 10, 10));
    QTest::newRow("identical at P=50") << grey << grey << 150 << 0;
    QTest::newRow("identical at P=100 counts every point") << grey << grey << 0 << 4800;
    QTest::newRow("change of 150 counts") << grey << withSamplePoints(grey, 7, qRgb(60, 60, 60)) << 150 << 7;
    QTest::newRow("change of 149 does not") << grey << withSamplePoints(grey, 7, qRgb(59, 60, 60)) << 150 << 0;
    QTest::newRow("darker counts as well") << withSamplePoints(grey, 5, qRgb(60, 60, 60)) << grey << 150 << 5;
    QTest::newRow("change only off the grid") << grey << offGrid(grey, qRgb(255, 255, 255)) << 1 << 0;
    QTest::newRow("odd size samples from 0") << filled({9, 5}, 0) << filled({9, 5}, qRgb(255, 0, 0)) << 200 << 6;
    // 240 by 320 against 320 by 240: columns 240 to 316 lie outside and read white.
    QTest::newRow("outside reads white") << filled({320, 240}, 0) << filled({240, 320}, 0) << 150 << 20 * 60;
    QTest::newRow("white outside matches white")
        << filled({320, 240}, qRgb(255, 255, 255)) << filled({240, 320}, qRgb(255, 255, 255)) << 1 << 0;
    QTest::newRow("other pixel formats")
        << grey.convertToFormat(QImage::Format_RGB888)
        << withSamplePoints(grey, 3, qRgb(60, 60, 60)).convertToFormat(QImage::Format_ARGB32_Premultiplied) << 150 << 3;
}

void TestMotionDetection::countsChangedSamplePoints()
{
    QFETCH(QImage, previous);
    QFETCH(QImage, current);
    QFETCH(int, threshold);
    QFETCH(int, expected);
    QCOMPARE(motion::CountUnmatchedAreas(current, previous, threshold), std::optional<int>(expected));
}

void TestMotionDetection::sizesWithDifferentSumsAreNotCompared()
{
    const QImage frame = filled({320, 240}, 0);
    QCOMPARE(motion::CountUnmatchedAreas(frame, QImage(), 0), std::nullopt);
    QCOMPARE(motion::CountUnmatchedAreas(frame, filled({320, 239}, 0), 0), std::nullopt);
    QCOMPARE(motion::CountUnmatchedAreas(QImage(), QImage(), 0), std::optional<int>(0));
}

void TestMotionDetection::keptFrameOwnsItsPixels()
{
    // A frame that wraps someone else's buffer, as a captured frame does.
    const QImage source = withSamplePoints(filled({64, 48}, qRgb(1, 2, 3)), 9, qRgb(200, 100, 50));
    bool released = false;
    QImage wrapped(source.constBits(), source.width(), source.height(), source.bytesPerLine(), source.format(),
                   releaseFlag, &released);
    QImage kept;
    motion::KeepFrame(wrapped, kept);
    wrapped = QImage();
    QVERIFY2(released, "the kept frame must not hold the capture buffer");
    QCOMPARE(kept, source);

    // The next frame of the same size reuses the kept memory.
    const uchar *memory = kept.constBits();
    const QImage next = filled({64, 48}, qRgb(9, 9, 9));
    motion::KeepFrame(next, kept);
    QCOMPARE(kept, next);
    QVERIFY(kept.constBits() == memory);

    motion::KeepFrame(filled({8, 8}, 0, QImage::Format_RGB888), kept);
    QCOMPARE(kept, filled({8, 8}, 0, QImage::Format_RGB888));
    motion::KeepFrame(QImage(), kept);
    QVERIFY(kept.isNull());
}

QTEST_GUILESS_MAIN(TestMotionDetection)
#include "TestMotionDetection.moc"
