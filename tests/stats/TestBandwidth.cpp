// The bandwidth window's last and total sizes.
#include "capture/JpegImage.h"
#include "stats/TFormBandwidth.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

class TestBandwidth : public QObject {
    Q_OBJECT

private slots:
    void recordedSizesAddUp_data();
    void recordedSizesAddUp();
    void everyFrameStreamIsCounted();
};

void TestBandwidth::recordedSizesAddUp_data()
{
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("total");

    QTest::newRow("none") << QList<qint64>{} << u"0"_s << u"0"_s;
    QTest::newRow("equal sizes count each time") << QList<qint64>{1000, 1000, 500} << u"500"_s << u"2500"_s;
    QTest::newRow("past 32 bits") << QList<qint64>{2147483647, 2147483647, 2} << u"2"_s << u"4294967296"_s;
}

void TestBandwidth::recordedSizesAddUp()
{
    QFETCH(QList<qint64>, sizes);
    QFETCH(QString, last);
    QFETCH(QString, total);

    ProgramFixture program;
    CreateProgramWindows();
    for (const qint64 size : sizes)
        FormBandwidth->RecordSent(size);
    QTRY_COMPARE(FormBandwidth->Edit1->text(), last);
    QTRY_COMPARE(FormBandwidth->Edit2->text(), total);
}

void TestBandwidth::everyFrameStreamIsCounted()
{
    ProgramFixture program;
    program.capture->drivers = {{u"Camera"_s, u"1.0"_s}};
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    program.capture->frame = CapturedFrame{CapturedFrame::State::Ready, image, 1};
    program.start();
    QVERIFY(FormMain->GrabFrame());
    const qint64 size = FormMain->FrameJpeg->data().size();
    QVERIFY(size > 0);

    // The same frame twice: the same size, counted twice.
    QCOMPARE(FormMain->BuildFrameStream()->size(), size);
    QCOMPARE(FormMain->BuildFrameStream()->size(), size);
    QTRY_COMPARE(FormBandwidth->Edit1->text(), QString::number(size));
    QTRY_COMPARE(FormBandwidth->Edit2->text(), QString::number(2 * size));
}

VANTREL_TEST_MAIN(TestBandwidth)
#include "TestBandwidth.moc"
