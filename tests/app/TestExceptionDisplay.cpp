#include "base/seams/Exception.h"
#include "base/seams/Seams.h"
#include "tests/support/SeamRecorders.h"
#include "tests/support/VantrelTestMain.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

class TestExceptionDisplay : public QObject {
    Q_OBJECT

private slots:
    void escapingExceptionIsShownAndTheLoopGoesOn_data();
    void escapingExceptionIsShownAndTheLoopGoesOn();
    void boxShowsItsTextLiterally();
};

void TestExceptionDisplay::escapingExceptionIsShownAndTheLoopGoesOn_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("program error") << 0 << u"Unable to write to /x/vantrel.INI"_s;
    QTest::newRow("library error") << 1 << u"vector::_M_range_check"_s;
    QTest::newRow("anything else") << 2 << u"An unexpected error occurred."_s;
}

void TestExceptionDisplay::escapingExceptionIsShownAndTheLoopGoesOn()
{
    QFETCH(int, kind);
    QFETCH(QString, text);

    MessageRecorder messages;
    QTimer::singleShot(0, qApp, [kind] {
        if (kind == 0)
            throw Exception(u"Unable to write to /x/vantrel.INI"_s);
        if (kind == 1)
            throw std::out_of_range("vector::_M_range_check");
        throw 42;
    });
    bool laterEventRan = false;
    QTimer::singleShot(20, qApp, [&laterEventRan] { laterEventRan = true; });

    QTRY_VERIFY(laterEventRan);
    QCOMPARE(messages.messages.size(), 1);
    QCOMPARE(messages.messages.at(0).caption, u"Vantrel"_s);
    QCOMPARE(messages.messages.at(0).text, text);
}

// A peer's "MSG:" text reaches the real box: markup stays text, no link, no picture.
void TestExceptionDisplay::boxShowsItsTextLiterally()
{
    const QString text = u"<a href=\"file:///etc/passwd\">click</a><img src=\"/usr/share/pixmaps/x.png\">"_s;
    std::optional<Qt::TextFormat> format;
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (const auto *label = box->findChild<QLabel *>(u"qt_msgbox_label"_s)) {
            format = label->textFormat();
            shown = label->text();
        }
        box->accept();
    });
    poll.start(10);
    seams::ShowMessage(nullptr, u"127.0.0.1"_s, text);
    QCOMPARE(format, std::optional<Qt::TextFormat>(Qt::PlainText));
    QCOMPARE(shown, text);
}

VANTREL_TEST_MAIN(TestExceptionDisplay)
#include "TestExceptionDisplay.moc"
