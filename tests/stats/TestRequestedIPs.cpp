// The table of the last ten requesting addresses and its time texts.
#include "stats/RequestTimeText.h"
#include "stats/TFormRequestedIPs.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

using namespace Qt::StringLiterals;

namespace {

QStringList textsOf(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

QStringList addresses() { return textsOf(FormRequestedIPs->ListBoxRequestedIP); }
QStringList firstTimes() { return textsOf(FormRequestedIPs->ListBoxRequestedFirstDateTime); }
QStringList lastTimes() { return textsOf(FormRequestedIPs->ListBoxRequestedLastDateTime); }

QString address(int host) { return u"10.0.0.%1"_s.arg(host); }

} // namespace

class TestRequestedIPs : public QObject {
    Q_OBJECT

private slots:
    void timeTextReadsBackToTheSecond_data();
    void timeTextReadsBackToTheSecond();
    void repeatedAddressUpdatesOnlyItsLastRequest();
    void eleventhAddressEvictsTheEarliestLastRequest_data();
    void eleventhAddressEvictsTheEarliestLastRequest();
};

void TestRequestedIPs::timeTextReadsBackToTheSecond_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::newRow("afternoon") << QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9, 999));
    QTest::newRow("midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0));
    QTest::newRow("last second of a century") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 500));
}

void TestRequestedIPs::timeTextReadsBackToTheSecond()
{
    QFETCH(QDateTime, time);
    const QString text = RequestTimeText(time);
    QCOMPARE(ParseRequestTimeText(text), time.addMSecs(-time.time().msec()));
    QCOMPARE(RequestTimeText(ParseRequestTimeText(text)), text);
    QVERIFY(ParseRequestTimeText(text) < ParseRequestTimeText(RequestTimeText(time.addSecs(1))));
}

void TestRequestedIPs::repeatedAddressUpdatesOnlyItsLastRequest()
{
    ProgramFixture program;
    CreateProgramWindows();
    const QString start = u"2026-12-07 14:05:09"_s;
    FormRequestedIPs->AddRequestedIP(address(1));
    QCOMPARE(firstTimes(), QStringList{start});
    QCOMPARE(lastTimes(), QStringList{start});

    program.clock.advanceSeconds(30);
    FormRequestedIPs->AddRequestedIP(address(2));
    program.clock.advanceSeconds(30);
    FormRequestedIPs->AddRequestedIP(address(1));
    FormRequestedIPs->AddRequestedIP(address(10)); // not the same as 10.0.0.1

    QCOMPARE(addresses(), (QStringList{address(1), address(2), address(10)}));
    QCOMPARE(firstTimes(), (QStringList{start, u"2026-12-07 14:05:39"_s, u"2026-12-07 14:06:09"_s}));
    QCOMPARE(lastTimes(), (QStringList{u"2026-12-07 14:06:09"_s, u"2026-12-07 14:05:39"_s, u"2026-12-07 14:06:09"_s}));
    QCOMPARE(FormRequestedIPs->AddToItemList(address(2), FormRequestedIPs->ListBoxRequestedIP), 1);
    QCOMPARE(textsOf(FormRequestedIPs->ListBoxRequestedNum).join(u' '), u"1 2 3 4 5 6 7 8 9 10"_s);
}

void TestRequestedIPs::eleventhAddressEvictsTheEarliestLastRequest_data()
{
    QTest::addColumn<QList<int>>("secondOfEntry"); // when each of the ten entries was last seen
    QTest::addColumn<int>("newcomerMilliseconds"); // after second 9
    QTest::addColumn<int>("evicted");              // row that goes; 10 is the newcomer

    QTest::newRow("oldest first") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << 0 << 0;
    QTest::newRow("oldest in the middle") << QList<int>{5, 6, 7, 1, 8, 9, 9, 9, 9, 9} << 0 << 3;
    QTest::newRow("ties go furthest down") << QList<int>{2, 1, 1, 3, 1, 4, 5, 6, 7, 8} << 0 << 4;
    QTest::newRow("all in the newcomer's second") << QList<int>{9, 9, 9, 9, 9, 9, 9, 9, 9, 9} << 0 << 10;
    QTest::newRow("milliseconds later is the same second") << QList<int>{9, 9, 9, 9, 9, 9, 9, 9, 9, 9} << 999 << 10;
}

void TestRequestedIPs::eleventhAddressEvictsTheEarliestLastRequest()
{
    QFETCH(QList<int>, secondOfEntry);
    QFETCH(int, newcomerMilliseconds);
    QFETCH(int, evicted);

    ProgramFixture program;
    CreateProgramWindows();
    const QDateTime base(QDate(2026, 12, 7), QTime(14, 0, 0));
    // Every address arrives at second 0, then is seen again at its own second, in a shuffled order.
    for (int host = 0; host < 10; ++host) {
        program.clock.set(base);
        FormRequestedIPs->AddRequestedIP(address(host));
    }
    for (int host : {3, 1, 4, 0, 5, 9, 2, 6, 8, 7}) {
        program.clock.set(base.addSecs(secondOfEntry.at(host)));
        FormRequestedIPs->AddRequestedIP(address(host));
    }
    QStringList expectedAddresses = addresses();
    QStringList expectedLast = lastTimes();
    program.clock.set(base.addSecs(9).addMSecs(newcomerMilliseconds));

    FormRequestedIPs->AddRequestedIP(address(10));

    expectedAddresses.append(address(10));
    expectedLast.append(RequestTimeText(base.addSecs(9)));
    expectedAddresses.removeAt(evicted);
    expectedLast.removeAt(evicted);
    QCOMPARE(addresses(), expectedAddresses);
    QCOMPARE(lastTimes(), expectedLast);
    QCOMPARE(firstTimes().size(), 10);
}

VANTREL_TEST_MAIN(TestRequestedIPs)
#include "TestRequestedIPs.moc"
