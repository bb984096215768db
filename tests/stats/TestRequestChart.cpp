// The request chart: counting, the chart timer's points and the chart options.
#include "stats/RequestCount.h"
#include "stats/TFormChart.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QLineSeries>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

void countRequests(int requests)
{
    for (int request = 0; request < requests; ++request)
        FormChart->CountRequest();
}

// The chart's points, as values at x positions 0, 1, 2...
QList<qreal> values()
{
    QList<qreal> result;
    for (const QPointF &point : FormChart->Series1->points()) {
        if (point.x() != result.size())
            return {-1};
        result.append(point.y());
    }
    return result;
}

} // namespace

class TestRequestChart : public QObject {
    Q_OBJECT

private slots:
    void ticksUpdateNowAndClear();
    void uncheckedStopsCountingAndTicking();
    void intervalFollowsTheSpinEdit();
    void labelsStayReadable();
};

void TestRequestChart::ticksUpdateNowAndClear()
{
    ProgramFixture program; // the clock stands at 14:05:09
    program.start();
    QVERIFY(FormMain->ChartTimer->isActive());
    QCOMPARE(FormMain->ChartTimer->interval(), 60000);

    countRequests(3);
    FormMain->ChartTimerTimer();
    QCOMPARE(values(), QList<qreal>{3});
    QCOMPARE(FormChart->PointLabels(), QStringList{u"14:05"_s});
    QCOMPARE(RequestCount, 0);

    // "Update Now" twice: the count, then an empty interval; midnight on the 24-hour clock.
    program.clock.set(QDateTime(QDate(2026, 12, 8), QTime(0, 1, 59)));
    countRequests(2);
    FormChart->Button1->click();
    FormChart->Button1->click();
    QCOMPARE(values(), (QList<qreal>{3, 2, 0}));
    QCOMPARE(FormChart->PointLabels(), (QStringList{u"14:05"_s, u"00:01"_s, u"00:01"_s}));

    // Clearing keeps the count; the next point is at the left again.
    countRequests(4);
    FormChart->Button2->click();
    QVERIFY(values().isEmpty() && FormChart->ShownLabels().isEmpty());
    QCOMPARE(RequestCount, 4);
    FormChart->SpinEditChartUpdate->setValue(1);
    QTRY_COMPARE_WITH_TIMEOUT(values(), QList<qreal>{4}, 5000); // the timer's own tick
    QCOMPARE(FormChart->ShownLabels(), (QList<std::pair<int, QString>>{{0, u"00:01"_s}}));
}

void TestRequestChart::uncheckedStopsCountingAndTicking()
{
    ProgramFixture program;
    program.start();
    countRequests(2);

    FormChart->CheckBoxChartEnable->click();
    QVERIFY(!FormMain->ChartTimer->isActive());
    countRequests(5);
    QCOMPARE(RequestCount, 2); // counted before unchecking, kept for the next point
    FormChart->Button1->click();
    QCOMPARE(values(), QList<qreal>{2});

    // A new interval leaves the timer off; checking again starts a fresh countdown.
    FormChart->SpinEditChartUpdate->setValue(3);
    QVERIFY(!FormMain->ChartTimer->isActive());
    FormChart->CheckBoxChartEnable->click();
    QVERIFY(FormMain->ChartTimer->isActive());
    QVERIFY(FormMain->ChartTimer->remainingTime() > 2900);
}

void TestRequestChart::intervalFollowsTheSpinEdit()
{
    ProgramFixture program;
    program.start();
    FormChart->SpinEditChartUpdate->setValue(5);
    QCOMPARE(FormMain->ChartTimer->interval(), 5000);

    // A new interval counts from the change; the same one again changes nothing.
    QTest::qWait(300);
    FormChart->SpinEditChartUpdate->setValue(6);
    QVERIFY(FormMain->ChartTimer->remainingTime() > 5900);
    QTest::qWait(300);
    FormChart->SpinEditChartUpdateChange();
    QVERIFY(FormMain->ChartTimer->remainingTime() < 5800);
    // "Update Now" does not restart the countdown either.
    FormChart->Button1->click();
    QVERIFY(FormMain->ChartTimer->remainingTime() < 5800);
}

void TestRequestChart::labelsStayReadable()
{
    ProgramFixture program;
    program.start();
    // The rightmost label is whole: the chart leaves room for its half beyond the plot.
    const auto rightmostLabelEnd = [] {
        FormChart->grab();
        QChart *chart = FormChart->Chart->chart();
        const auto shown = FormChart->ShownLabels();
        return chart->mapToPosition(QPointF(shown.constLast().first, 0), FormChart->Series1).x() +
               QFontMetrics(chart->axes(Qt::Horizontal).constFirst()->labelsFont())
                       .horizontalAdvance(shown.constLast().second) /
                   2.0;
    };
    for (int tick = 0; tick < 240; ++tick) { // every minute twice
        FormMain->ChartTimerTimer();
        program.clock.advanceSeconds(30);
        if (tick == 3)
            QVERIFY2(rightmostLabelEnd() <= FormChart->Chart->width(),
                     qPrintable(QString::number(rightmostLabelEnd())));
    }
    QCOMPARE(FormChart->PointLabels().mid(238), (QStringList{u"16:04"_s, u"16:04"_s}));

    // Evenly spaced labels, each its point's, fewer than the window has room for.
    const QList<std::pair<int, QString>> shown = FormChart->ShownLabels();
    QVERIFY(shown.size() > 5 && shown.size() < 622 / 30);
    for (int index = 0; index < shown.size(); ++index) {
        QCOMPARE(shown.at(index).first, index * shown.at(1).first);
        QCOMPARE(shown.at(index).second, FormChart->PointLabels().at(shown.at(index).first));
    }
    // Taking the hidden window's picture lays it out at a new size.
    FormChart->resize(1200, 194);
    FormChart->grab();
    QVERIFY(FormChart->ShownLabels().size() > shown.size());
}

VANTREL_TEST_MAIN(TestRequestChart)
#include "TestRequestChart.moc"
