#include "base/AppInfo.h"
#include "resources/BuiltInResources.h"
#include "tests/support/FileBytes.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QResource>
#include <QTest>

#include <map>

namespace {

QByteArray sourceFile(const QString &fileName)
{
    return FileBytes(QStringLiteral(VANTREL_RESOURCES_DIR "/") + fileName);
}

QByteArray readResource(const QString &name)
{
    const std::unique_ptr<QIODevice> device = OpenBuiltInResource(name);
    return device ? device->readAll() : QByteArray();
}

int bigEndian16(const QByteArray &bytes, qsizetype at)
{
    return (quint8(bytes.at(at)) << 8) | quint8(bytes.at(at + 1));
}

// The payloads of the marker segments before the first scan, by marker (0xE0 for APP0 and so on).
std::multimap<int, QByteArray> jpegSegments(const QByteArray &jpeg)
{
    std::multimap<int, QByteArray> segments;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg.at(at)) == 0xFF && quint8(jpeg.at(at + 1)) != 0xDA) {
        const int length = bigEndian16(jpeg, at + 2);
        segments.emplace(quint8(jpeg.at(at + 1)), jpeg.mid(at + 4, length - 2));
        at += 2 + length;
    }
    return segments;
}

QByteArray firstSegment(const std::multimap<int, QByteArray> &segments, int marker)
{
    const auto found = segments.find(marker);
    return found == segments.end() ? QByteArray() : found->second;
}

} // namespace

class TestBuiltInResources : public QObject {
    Q_OBJECT

private slots:
    void opensEachNameInAnyCase_data();
    void opensEachNameInAnyCase();
    void unknownNamesOpenNothing();
    void storedUncompressed();
    void pageIsBarePlainText();
    void picturesAreBaselineJfifWithRestartRows_data();
    void picturesAreBaselineJfifWithRestartRows();
};

void TestBuiltInResources::opensEachNameInAnyCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<qint64>("size");

    QTest::newRow("HtmlIndex") << "HtmlIndex"
                               << "index.html" << qint64(4348);
    QTest::newRow("htmlindex") << "htmlindex"
                               << "index.html" << qint64(4348);
    QTest::newRow("ResImage") << "ResImage"
                              << "title.jpg" << qint64(40578);
    QTest::newRow("RESIMAGE") << "RESIMAGE"
                              << "title.jpg" << qint64(40578);
    QTest::newRow("OfflineImage") << "OfflineImage"
                                  << "offline.jpg" << qint64(40470);
    QTest::newRow("offlineIMAGE") << "offlineIMAGE"
                                  << "offline.jpg" << qint64(40470);
}

void TestBuiltInResources::opensEachNameInAnyCase()
{
    QFETCH(QString, name);
    QFETCH(QString, fileName);
    QFETCH(qint64, size);

    const std::unique_ptr<QIODevice> device = OpenBuiltInResource(name);
    QVERIFY(device);
    QCOMPARE(device->openMode(), QIODevice::ReadOnly);
    QCOMPARE(device->pos(), 0);
    QCOMPARE(device->size(), size);
    QCOMPARE(device->readAll(), sourceFile(fileName));
    QVERIFY(device->atEnd());

    // Every opening is a device of its own, at its own start.
    QCOMPARE(readResource(name).size(), size);
}

void TestBuiltInResources::unknownNamesOpenNothing()
{
    for (const char *name : {"", "Html", "HtmlIndex2", "title.jpg", ":/builtin/htmlindex", "../builtin/htmlindex"})
        QVERIFY2(!OpenBuiltInResource(QString::fromLatin1(name)), name);
}

void TestBuiltInResources::storedUncompressed()
{
    QVERIFY(OpenBuiltInResource(QStringLiteral("HtmlIndex")));
    for (const char *path : {":/builtin/htmlindex", ":/builtin/resimage", ":/builtin/offlineimage"}) {
        const QResource resource(QString::fromLatin1(path));
        QVERIFY2(resource.isValid(), path);
        QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    }
}

void TestBuiltInResources::pageIsBarePlainText()
{
    const QByteArray page = readResource(QStringLiteral("HtmlIndex"));
    QVERIFY(page.startsWith("<html>"));
    QVERIFY(!page.contains('\r'));
    QVERIFY(!page.contains("\xEF\xBB\xBF"));
    QVERIFY(page.trimmed().endsWith("</html>"));

    // The two directory links go to the directory server the program publishes to.
    const QString directory = QStringLiteral("http://") + DirectoryServerHost;
    QVERIFY(page.contains((directory + QStringLiteral("/Downloads/files/")).toLatin1()));
    QVERIFY(page.contains((directory + DirectoryListPath).toLatin1()));
}

void TestBuiltInResources::picturesAreBaselineJfifWithRestartRows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("restartInterval");

    QTest::newRow("title") << "ResImage" << QSize(220, 165) << 28;
    QTest::newRow("offline") << "OfflineImage" << QSize(320, 240) << 40;
}

void TestBuiltInResources::picturesAreBaselineJfifWithRestartRows()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, restartInterval);

    const QByteArray jpeg = readResource(name);
    QVERIFY(jpeg.startsWith("\xFF\xD8"));
    QVERIFY(jpeg.endsWith("\xFF\xD9"));
    const auto segments = jpegSegments(jpeg);

    // JFIF 1.02, 72 x 72 dots per inch.
    QCOMPARE(firstSegment(segments, 0xE0).left(12), QByteArray("JFIF\0\x01\x02\x01\x00\x48\x00\x48", 12));

    // Baseline, eight bits, three components none of which is subsampled.
    const QByteArray frame = firstSegment(segments, 0xC0);
    QCOMPARE(frame.size(), 6 + 3 * 3);
    QCOMPARE(int(frame.at(0)), 8);
    QCOMPARE(QSize(bigEndian16(frame, 3), bigEndian16(frame, 1)), size);
    QCOMPARE(int(frame.at(5)), 3);
    for (int component = 0; component < 3; ++component)
        QCOMPARE(quint8(frame.at(6 + 3 * component + 1)), quint8(0x11));
    QCOMPARE(segments.count(0xC2), 0u);

    const QByteArray restart = firstSegment(segments, 0xDD);
    QCOMPARE(restart.size(), 2);
    QCOMPARE(bigEndian16(restart, 0), restartInterval);

    QVERIFY(firstSegment(segments, 0xE2).startsWith(QByteArray("ICC_PROFILE\0", 12)));
    QVERIFY(segments.count(0xE1) + segments.count(0xFE) > 0);

    const QImage picture = QImage::fromData(jpeg, "JPEG");
    QCOMPARE(picture.size(), size);
    QVERIFY(picture.colorSpace().isValid());
}

QTEST_GUILESS_MAIN(TestBuiltInResources)
#include "TestBuiltInResources.moc"
