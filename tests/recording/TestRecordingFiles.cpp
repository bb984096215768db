// What a request may reach of the recordings folder, how a Range header is read, and what a
// budget lets go.
#include "recording/RecordingCatalogue.h"
#include "recording/RecordingFiles.h"
#include "recording/RecordingName.h"
#include "server/ByteRange.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using byterange::Kind;

class TestRecordingFiles : public QObject {
    Q_OBJECT

private slots:
    void ranges_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        const auto row = [](const char *name, const char *header, Kind kind, qint64 first, qint64 last) {
            QTest::newRow(name) << QByteArray(header) << static_cast<int>(kind) << first << last;
        };
        row("a span", "bytes=100-199", Kind::Part, 100, 199);
        row("to the end", "bytes=900-", Kind::Part, 900, 999);
        row("past the end is cut", "bytes=900-5000", Kind::Part, 900, 999);
        row("the last bytes", "bytes=-10", Kind::Part, 990, 999);
        row("more last bytes than there are", "bytes=-5000", Kind::Part, 0, 999);
        row("no numbers", "bytes=-", Kind::Whole, 0, 999);
        row("backwards", "bytes=5-2", Kind::Whole, 0, 999);
        row("several", "bytes=0-1,5-6", Kind::Whole, 0, 999);
        row("another unit", "items=0-1", Kind::Whole, 0, 999);
        row("not digits", "bytes=1e3-", Kind::Whole, 0, 999);
        row("beyond the end", "bytes=1000-", Kind::Unsatisfiable, 0, -1);
        row("huge numbers", "bytes=99999999999999999999999-", Kind::Unsatisfiable, 0, -1);
        row("huge end", "bytes=10-99999999999999999999999", Kind::Part, 10, 999);
        row("none of the last", "bytes=-0", Kind::Unsatisfiable, 0, -1);
    }
    void ranges()
    {
        QFETCH(QByteArray, header);
        QFETCH(int, kind);
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        const byterange::Choice choice = byterange::Choose(header, 1000);
        QCOMPARE(static_cast<int>(choice.kind), kind);
        if (choice.kind != Kind::Unsatisfiable) {
            QCOMPARE(choice.first, first);
            QCOMPARE(choice.last, last);
        }
        QCOMPARE(static_cast<int>(byterange::Choose(std::nullopt, 1000).kind), static_cast<int>(Kind::Whole));
    }

    // Only the program's own names in the folder itself: no way out, no link, no other file.
    void onlyOwnFilesAreReached_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("reached");
        QTest::newRow("a recording") << QByteArray("/recordings/2026-12-10%2014.03.07%20motion.mp4") << true;
        QTest::newRow("with a query") << QByteArray("/recordings/2026-12-10%2014.03.07%20motion.mp4?x=1") << true;
        QTest::newRow("its picture") << QByteArray("/recordings/2026-12-10%2014.03.07%20motion.jpg") << true;
        QTest::newRow("up and out") << QByteArray("/recordings/..%2Fsecret.mp4") << false;
        QTest::newRow("plain up") << QByteArray("/recordings/../secret.mp4") << false;
        QTest::newRow("absolute") << QByteArray("/recordings/%2Fetc%2Fpasswd") << false;
        QTest::newRow("encoded twice") << QByteArray("/recordings/%252e%252e%252fsecret.mp4") << false;
        QTest::newRow("another file") << QByteArray("/recordings/notes.txt") << false;
        QTest::newRow("a link with our name") << QByteArray("/recordings/2026-12-10%2014.03.08%20motion.mp4") << false;
        QTest::newRow("a folder with our name")
            << QByteArray("/recordings/2026-12-10%2014.03.09%20motion.mp4") << false;
        QTest::newRow("not there") << QByteArray("/recordings/2026-12-10%2014.03.10%20motion.mp4") << false;
    }
    void onlyOwnFilesAreReached()
    {
        QFETCH(QByteArray, target);
        QFETCH(bool, reached);
        QTemporaryDir root;
        const QString folder = root.filePath(u"recordings"_s);
        QVERIFY(QDir().mkpath(folder + u"/.thumbnails"_s));
        const QString name = recordingname::NameFor(QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7)), true);
        for (const QString &file : {folder + u"/"_s + name, recordingname::ThumbnailPath(folder, name),
                                    root.filePath(u"secret.mp4"_s), folder + u"/notes.txt"_s}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
        }
        QVERIFY(QFile::link(root.filePath(u"secret.mp4"_s), folder + u"/2026-12-10 14.03.08 motion.mp4"_s));
        QVERIFY(QDir().mkpath(folder + u"/2026-12-10 14.03.09 motion.mp4"_s));
        QCOMPARE(recordingfiles::Resolve(folder, target).has_value(), reached);
        // The listing holds the same: only the one recording.
        const auto entries = recordingcatalogue::List(folder);
        QCOMPARE(entries.size(), size_t{1});
        QCOMPARE(entries[0].name, name);
    }

    // Too old goes, then the oldest until the rest fit; the one being written and files from
    // the future (the clock went back) stay.
    void budgetLetsTheOldestGo()
    {
        const QDateTime now(QDate(2026, 12, 10), QTime(12, 0));
        const auto entry = [&](int hoursAgo, qint64 bytes) {
            const QDateTime start = now.addSecs(-3600LL * hoursAgo);
            return recordingcatalogue::Entry{recordingname::NameFor(start, true), start, 10, bytes, true, 1};
        };
        const std::vector<recordingcatalogue::Entry> newestFirst{entry(-5, 400), entry(1, 300), entry(2, 300),
                                                                 entry(3, 100),  entry(4, 100), entry(24 * 40, 1)};
        const QStringList going = recordingcatalogue::OverBudget(newestFirst, 1000, 30, now, newestFirst[1].name);
        QCOMPARE(going, (QStringList{newestFirst[5].name, newestFirst[4].name, newestFirst[3].name}));
        QVERIFY(recordingcatalogue::OverBudget(newestFirst, 10000, 100, now, QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordingFiles)
#include "TestRecordingFiles.moc"
