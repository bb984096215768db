// The statistics windows' pictures while hidden, and their settings.
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Pixels of the chart's red series in the picture.
int redPixels(const QImage &picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            count += colour.red() > 200 && colour.green() < 80 && colour.blue() < 80;
        }
    }
    return count;
}

// The part of the settings file after the main window's section.
QByteArray afterMainSection(const QByteArray &file) { return file.mid(file.indexOf("[FormChart]")); }

} // namespace

class TestStatsWindows : public QObject {
    Q_OBJECT

private slots:
    void hiddenWindowsDrawTheirClientArea();
    void settingsRoundTrip();
    void loadHoldsValuesToTheirRanges_data();
    void loadHoldsValuesToTheirRanges();
};

void TestStatsWindows::hiddenWindowsDrawTheirClientArea()
{
    ProgramFixture program;
    program.start();
    FormChart->CountRequest();
    FormMain->ChartTimerTimer();
    FormMain->ChartTimerTimer();
    QVERIFY(!FormChart->isVisible() && !FormRequestedIPs->isVisible() && !FormBandwidth->isVisible());
    QCOMPARE(FormRequestedIPs->grab().size(), QSize(368, 163));
    QCOMPARE(FormBandwidth->grab().size(), QSize(230, 54));

    const QImage chart = FormChart->grab().toImage();
    QCOMPARE(chart.size(), QSize(622, 194));
    QCOMPARE(FormChart->GroupBox1->geometry(), QRect(0, 153, 622, 41));
    QVERIFY2(redPixels(chart) > 20, "no line drawn");

    // Resized while hidden: the picture has the new size, the options strip stays at the bottom.
    FormChart->resize(700, 250);
    const QImage resized = FormChart->grab().toImage();
    QCOMPARE(resized.size(), QSize(700, 250));
    QCOMPARE(FormChart->GroupBox1->geometry(), QRect(0, 209, 700, 41));
    QVERIFY(redPixels(resized.copy(0, 0, 700, 209)) > 20);
}

void TestStatsWindows::settingsRoundTrip()
{
    ProgramFixture program;
    program.start();
    FormChart->SpinEditChartUpdate->setValue(45);
    FormChart->move(30, 40);
    FormChart->resize(700, 250);
    FormBandwidth->move(50, 60);
    FormRequestedIPs->move(70, 80);
    FormMain->SaveSettings();

    QCOMPARE(afterMainSection(program.readSettings()),
             QByteArray("[FormChart]\nChartUpdate=45\nTop=40\nLeft=30\nHeight=250\nWidth=700\n"
                        "[FormBandwidth]\nTop=60\nLeft=50\n"
                        "[FormRequestedIPs]\nTop=80\nLeft=70\n"));

    FormChart->SpinEditChartUpdate->setValue(2);
    FormChart->setGeometry(1, 2, 600, 180);
    FormBandwidth->move(3, 4);
    FormRequestedIPs->move(5, 6);
    FormMain->LoadSettings();

    QCOMPARE(FormChart->SpinEditChartUpdate->value(), 45);
    QCOMPARE(FormMain->ChartTimer->interval(), 45000);
    QCOMPARE(FormChart->pos(), QPoint(30, 40));
    QCOMPARE(FormChart->size(), QSize(700, 250));
    QCOMPARE(FormBandwidth->pos(), QPoint(50, 60));
    QCOMPARE(FormRequestedIPs->pos(), QPoint(70, 80));
}

void TestStatsWindows::loadHoldsValuesToTheirRanges_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("chartUpdate");
    QTest::addColumn<QRect>("chartGeometry");
    QTest::addColumn<QPoint>("bandwidthPosition");

    const QRect unchanged(11, 22, 622, 194);
    QTest::newRow("no keys") << QByteArray() << 60 << unchanged << QPoint(255, 190);
    QTest::newRow("interval zero") << QByteArray("[FormChart]\nChartUpdate=0\n") << 1 << unchanged << QPoint(255, 190);
    QTest::newRow("interval too long") << QByteArray("[FormChart]\nChartUpdate=999\n") << 360 << unchanged
                                       << QPoint(255, 190);
    QTest::newRow("negative ignored") << QByteArray("[FormChart]\nTop=-5\nLeft=-5\nHeight=-1\nWidth=-1\n"
                                                    "[FormBandwidth]\nTop=-20\nLeft=-1\n")
                                      << 60 << unchanged << QPoint(255, 190);
    QTest::newRow("each on its own") << QByteArray("[FormChart]\nLeft=0\nHeight=300\n[FormBandwidth]\nTop=7\n") << 60
                                     << QRect(0, 22, 622, 300) << QPoint(255, 7);
}

void TestStatsWindows::loadHoldsValuesToTheirRanges()
{
    QFETCH(QByteArray, content);
    QFETCH(int, chartUpdate);
    QFETCH(QRect, chartGeometry);
    QFETCH(QPoint, bandwidthPosition);

    ProgramFixture program;
    program.start();
    FormChart->move(11, 22);
    program.writeSettings(content);
    FormMain->LoadSettings();

    QCOMPARE(FormChart->SpinEditChartUpdate->value(), chartUpdate);
    QCOMPARE(FormMain->ChartTimer->interval(), chartUpdate * 1000);
    QCOMPARE(QRect(FormChart->pos(), FormChart->size()), chartGeometry);
    QCOMPARE(FormBandwidth->pos(), bandwidthPosition);
}

VANTREL_TEST_MAIN(TestStatsWindows)
#include "TestStatsWindows.moc"
