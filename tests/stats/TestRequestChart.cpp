// The request chart: counting, the chart timer's points and the chart options.
#include "stats/RequestCount.h"
#include "stats/TFormChart.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QFontMetrics>
#include <QLineSeries>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The fixture's clock stands at 2026-12-07 14:05:09.
void countRequests(int requests)
{
    for (int request = 0; request < requests; ++request)
        FormChart->CountRequest();
}

QList<QPointF> points() { return FormChart->Series1->points(); }

QList<QPointF> pointsOf(const QList<qreal> &values)
{
    QList<QPointF> result;
    for (const qreal value : values)
        result.append({static_cast<qreal>(result.size()), value});
    return result;
}

} // namespace

class TestRequestChart : public QObject {
    Q_OBJECT

private slots:
    void tickTurnsTheCountIntoAPoint();
    void updateNowAddsWithoutRestartingTheTimer();
    void clearStartsAgainAtTheLeftKeepingTheCount();
    void uncheckedStopsCountingAndTicking();
    void intervalFollowsTheSpinEdit();
    void timerTicksOnItsOwn();
    void labelsStayReadable();
};

void TestRequestChart::tickTurnsTheCountIntoAPoint()
{
    ProgramFixture program;
    program.start();
    QCOMPARE(RequestCount, 0);
    QVERIFY(FormMain->ChartTimer->isActive());
    QCOMPARE(FormMain->ChartTimer->interval(), 60000);

    countRequests(3);
    QCOMPARE(RequestCount, 3);
    FormMain->ChartTimerTimer();
    QCOMPARE(points(), pointsOf({3}));
    QCOMPARE(FormChart->PointLabels(), QStringList{u"14:05"_s});
    QCOMPARE(RequestCount, 0);

    // An interval without requests, and midnight on the 24-hour clock.
    program.clock.set(QDateTime(QDate(2026, 12, 8), QTime(0, 1, 59)));
    FormMain->ChartTimerTimer();
    QCOMPARE(points(), pointsOf({3, 0}));
    QCOMPARE(FormChart->PointLabels(), (QStringList{u"14:05"_s, u"00:01"_s}));
    QCOMPARE(FormChart->Series1->color(), QColor(Qt::red));
}

void TestRequestChart::updateNowAddsWithoutRestartingTheTimer()
{
    ProgramFixture program;
    program.start();
    FormChart->SpinEditChartUpdate->setValue(2);
    QTest::qWait(300);
    const int remainingBefore = FormMain->ChartTimer->remainingTime();

    countRequests(2);
    FormChart->Button1->click();
    FormChart->Button1->click();

    QCOMPARE(points(), pointsOf({2, 0}));
    QCOMPARE(RequestCount, 0);
    QVERIFY(FormMain->ChartTimer->isActive());
    QVERIFY2(FormMain->ChartTimer->remainingTime() <= remainingBefore, "the countdown went on");
}

void TestRequestChart::clearStartsAgainAtTheLeftKeepingTheCount()
{
    ProgramFixture program;
    program.start();
    FormMain->ChartTimerTimer();
    FormMain->ChartTimerTimer();
    countRequests(4);

    FormChart->Button2->click();
    QVERIFY(points().isEmpty());
    QVERIFY(FormChart->PointLabels().isEmpty());
    QVERIFY(FormChart->ShownLabels().isEmpty());
    QCOMPARE(RequestCount, 4);

    program.clock.advanceSeconds(60);
    FormMain->ChartTimerTimer();
    QCOMPARE(points(), pointsOf({4}));
    QCOMPARE(FormChart->ShownLabels(), (QList<std::pair<int, QString>>{{0, u"14:06"_s}}));
}

void TestRequestChart::uncheckedStopsCountingAndTicking()
{
    ProgramFixture program;
    program.start();
    countRequests(2);

    FormChart->CheckBoxChartEnable->click();
    QVERIFY(!FormChart->CheckBoxChartEnable->isChecked());
    QVERIFY(!FormMain->ChartTimer->isActive());
    countRequests(5);
    QCOMPARE(RequestCount, 2); // counted before unchecking, kept for the next point

    FormChart->Button1->click();
    QCOMPARE(points(), pointsOf({2}));

    // Checking again starts a fresh countdown.
    FormChart->SpinEditChartUpdate->setValue(3);
    QVERIFY(!FormMain->ChartTimer->isActive());
    FormChart->CheckBoxChartEnable->click();
    QVERIFY(FormMain->ChartTimer->isActive());
    QVERIFY(FormMain->ChartTimer->remainingTime() > 2500);
}

void TestRequestChart::intervalFollowsTheSpinEdit()
{
    ProgramFixture program;
    program.start();
    FormChart->SpinEditChartUpdate->setValue(5);
    QCOMPARE(FormMain->ChartTimer->interval(), 5000);

    // A new interval counts from the change.
    QTest::qWait(300);
    FormChart->SpinEditChartUpdate->setValue(6);
    QVERIFY(FormMain->ChartTimer->remainingTime() > 5900);

    // The same interval again changes nothing: the countdown goes on.
    QTest::qWait(300);
    const int remaining = FormMain->ChartTimer->remainingTime();
    FormChart->SpinEditChartUpdateChange();
    QVERIFY(FormMain->ChartTimer->remainingTime() <= remaining);

    FormChart->SpinEditChartUpdate->setValue(1000);
    QCOMPARE(FormMain->ChartTimer->interval(), 360000);
}

void TestRequestChart::timerTicksOnItsOwn()
{
    ProgramFixture program;
    program.start();
    FormChart->SpinEditChartUpdate->setValue(1);
    countRequests(7);

    QTRY_COMPARE_WITH_TIMEOUT(points().size(), 1, 5000);
    QCOMPARE(points(), pointsOf({7}));
    QCOMPARE(RequestCount, 0);
}

void TestRequestChart::labelsStayReadable()
{
    ProgramFixture program;
    program.start();
    // Every minute label twice, as with an interval of 30 seconds.
    for (int tick = 0; tick < 240; ++tick) {
        FormMain->ChartTimerTimer();
        program.clock.advanceSeconds(30);
    }
    QCOMPARE(FormChart->PointLabels().size(), 240);
    QCOMPARE(FormChart->PointLabels().at(1), u"14:05"_s);
    QCOMPARE(FormChart->PointLabels().at(239), u"16:04"_s);

    const QList<std::pair<int, QString>> shown = FormChart->ShownLabels();
    const int labelWidth = QFontMetrics(FormChart->font()).horizontalAdvance(u"00:00"_s);
    QVERIFY(shown.size() > 5);
    QVERIFY(shown.size() * labelWidth < FormChart->width());
    const int step = shown.at(1).first;
    for (int index = 0; index < shown.size(); ++index) {
        QCOMPARE(shown.at(index).first, index * step);
        QCOMPARE(shown.at(index).second, FormChart->PointLabels().at(index * step));
    }

    // Wider, more labels fit; narrower, fewer. Taking the hidden window's
    // picture lays it out at its new size.
    FormChart->resize(1200, 194);
    FormChart->grab();
    QVERIFY(FormChart->ShownLabels().size() > shown.size());
    FormChart->resize(300, 194);
    FormChart->grab();
    QVERIFY(FormChart->ShownLabels().size() < shown.size());
}

VANTREL_TEST_MAIN(TestRequestChart)
#include "TestRequestChart.moc"
