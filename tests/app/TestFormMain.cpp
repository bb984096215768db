#include "app/TFormHide.h"
#include "base/widgets/WindowPlacement.h"
#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"
#include "capture/TFormPreview.h"
#include "live/LiveService.h"
#include "publish/TFormManualIP.h"
#include "publish/TFormPublish.h"
#include "snapshot/TFormSnapshotSettings.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QMenuBar>

using namespace Qt::StringLiterals;

namespace {

const QString Stamp = u"12-07-26 14:05:09: "_s;

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *action : actions)
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    return texts;
}

int countLines(const QString &line) { return static_cast<int>(FormMain->LogLines().count(line)); }

} // namespace

class TestFormMain : public QObject {
    Q_OBJECT

private slots:
    void startUpLogWithoutCaptureDriver();
    void startUpWithDriversFillsSourceMenu();
    void windowsAreCreatedInOrderWithTheirStyles_data();
    void windowsAreCreatedInOrderWithTheirStyles();
    void mainWindowControls_data();
    void mainWindowControls();
    void groupsHaveTheirPlaces();
    void menuTree();
    void hidingAndShowingInitialisesOnce();
    void mainWindowStaysClearOfAGrowingPreview();
    void exitLogsAndClosesButCloseBoxDoesNot();
    void publishNeedsTheServer();
    void webPagesOpenThroughTheDesktop();
    void aboutBoxAndStatisticsWindows();
    void jpegQualityFollowsTheBar();
    void overlayMenuTogglesAndReportsRefusal();
    void sourceItemSwitchesDriver();
    void failingDriverKeepsCurrentAndStillLogs();
    void formDestroyShutsCaptureDown();
};

void TestFormMain::startUpLogWithoutCaptureDriver()
{
    ProgramFixture program;
    program.start();

    const QStringList expected = {
        u"- Vantrel v1.4.3"_s,
        u"- Written by the Vantrel developers"_s,
        u"- http://www.vantrel.net"_s,
        Stamp + u"Initializing capture object"_s,
        Stamp + u"Initializing available capture drivers"_s,
        Stamp + u"Setting preview to 66.6/fpm"_s,
        Stamp + u"Initializing preview with device #0"_s,
        Stamp + u"Toggled hardware overlay to ON"_s,
        Stamp + u"Capture driver does not support Hardware Overlay! Disabled"_s,
        Stamp + u"Loaded saved default settings"_s,
        Stamp + u"Initialization Successful"_s,
        u"* Click \"Enable Server\" to begin hosting your webcam"_s,
    };
    QCOMPARE(FormMain->LogLines(), expected);
    QCOMPARE(FormMain->windowTitle(), u"Vantrel v1.4.3"_s);
    QVERIFY(Initialized);
    QVERIFY(Capture);
    QVERIFY(FormMain->Source->actions().isEmpty());
    QVERIFY(!FormMain->HardwareOverlay1->isChecked());
    QVERIFY(FormPreview->isVisible());
    QCOMPARE(Capture->CaptureWindow()->parentWidget(), FormPreview);
    QCOMPARE(Capture->PreviewRate, 66);
    QVERIFY(program.messages.messages.isEmpty());
}

void TestFormMain::startUpWithDriversFillsSourceMenu()
{
    ProgramFixture program;
    program.capture->drivers = {
        {u"Camera A"_s, u"v4l2 6.1"_s}, {u"Camera B"_s, u"v4l2 6.1"_s}, {u"Pattern"_s, u"1.22"_s}};
    program.capture->overlaySupported = true;
    program.start();

    const QList<QAction *> items = FormMain->Source->actions();
    QCOMPARE(actionTexts(items), QStringList({u"Camera A, v4l2 6.1"_s, u"Camera B, v4l2 6.1"_s, u"Pattern, 1.22"_s}));
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items.at(i)->data().toInt(), i);
        QCOMPARE(items.at(i)->isChecked(), i == 0);
    }
    QCOMPARE(Capture->CurrentDriver(), 0);
    QVERIFY(FormMain->HardwareOverlay1->isChecked());
    QCOMPARE(countLines(Stamp + u"Toggled hardware overlay to ON"_s), 1);
    QCOMPARE(countLines(Stamp + u"Capture driver does not support Hardware Overlay! Disabled"_s), 0);
    // Connect, fit, preview at the rate, then the overlay request of start-up.
    QCOMPARE(program.capture->calls, QStringList({u"create My Capture Window"_s, u"connect 0"_s, u"overlay off"_s,
                                                  u"rate 66"_s, u"preview on"_s, u"overlay on"_s}));
    QCOMPARE(Capture->CaptureWindow()->size(), QSize(320, 240));
}

void TestFormMain::windowsAreCreatedInOrderWithTheirStyles_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("fixedSize");
    QTest::addColumn<bool>("hasCloseBox");
    QTest::addColumn<bool>("tool");

    QTest::newRow("preview") << 1 << u"TFormPreview"_s << u"Capture Preview"_s << QSize(313, 231) << false << false
                             << true;
    QTest::newRow("chart") << 2 << u"TFormChart"_s << u"Vantrel Statistics"_s << QSize(622, 194) << false << true
                           << true;
    QTest::newRow("addresses") << 3 << u"TFormRequestedIPs"_s << u"Last 10 Requesting IP's"_s << QSize(368, 163) << true
                               << true << false;
    QTest::newRow("bandwidth") << 4 << u"TFormBandwidth"_s << u"Bandwidth"_s << QSize(230, 54) << true << true << false;
    QTest::newRow("publish") << 5 << u"TFormPublish"_s << u"Publish Control Panel"_s << QSize(306, 162) << true << true
                             << false;
    QTest::newRow("manual address") << 6 << u"TFormManualIP"_s << u"Enter IP Address"_s << QSize(132, 59) << true
                                    << false << false;
    QTest::newRow("hide") << 7 << u"TFormHide"_s << u"Vantrel"_s << QSize(104, 26) << true << false << false;
    QTest::newRow("snapshot settings") << 8 << u"TFormSnapshotSettings"_s << u"Snapshot Settings"_s << QSize(433, 359)
                                       << false << false << false;
}

void TestFormMain::windowsAreCreatedInOrderWithTheirStyles()
{
    QFETCH(int, order);
    QFETCH(QString, className);
    QFETCH(QString, caption);
    QFETCH(QSize, size);
    QFETCH(bool, fixedSize);
    QFETCH(bool, hasCloseBox);
    QFETCH(bool, tool);

    ProgramFixture program;
    CreateProgramWindows();
    const QList<QWidget *> windows = {FormMain,    FormPreview,  FormChart, FormRequestedIPs,    FormBandwidth,
                                      FormPublish, FormManualIP, FormHide,  FormSnapshotSettings};
    QWidget *window = windows.at(order);
    QCOMPARE(QString::fromLatin1(window->metaObject()->className()), className);
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->size(), size);
    QCOMPARE(window->minimumSize() == window->maximumSize(), fixedSize);
    QCOMPARE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint), hasCloseBox);
    QCOMPARE(window->windowType() == Qt::Tool, tool);
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window->isVisible());
    // The preview, and the windows that act as modal dialogs above it.
    const QStringList onTop{u"TFormPreview"_s, u"TFormPublish"_s, u"TFormManualIP"_s, u"TFormSnapshotSettings"_s};
    QCOMPARE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop.contains(className));
    // Neither the windows without a taskbar entry nor the one way back to the main window can be minimised.
    if (tool || className == u"TFormHide"_s) {
        window->showMinimized();
        QTRY_VERIFY(!window->isMinimized());
    }
}

void TestFormMain::mainWindowControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("server group") << u"GroupBox1"_s << u"Server Settings"_s << true;
    QTest::newRow("port label") << u"Label1"_s << u"TCP Port"_s << true;
    QTest::newRow("server switch") << u"CheckBox"_s << u"&Enable HTTP Server"_s << true;
    QTest::newRow("offline") << u"Offline"_s << u"Send \"Offline\" message"_s << false;
    QTest::newRow("log group") << u"GroupBox3"_s << u"Advanced Log Settings"_s << true;
    QTest::newRow("connects") << u"LogConnects"_s << u"Log all client connections"_s << true;
    QTest::newRow("disconnects") << u"LogDisconnects"_s << u"Log all client disconnects"_s << true;
    QTest::newRow("requests") << u"LogRequests"_s << u"Log all client requests"_s << true;
    QTest::newRow("export") << u"Button1"_s << u"Export Log to File"_s << true;
    QTest::newRow("clear") << u"ButtonClearLog"_s << u"Clear &Log"_s << true;
    QTest::newRow("url group") << u"UrlBox"_s << u"Send this URL address to your friends"_s << false;
    QTest::newRow("url label") << u"Label4"_s << u"Your URL :"_s << false;
    QTest::newRow("copy") << u"Button_CopyToClipboard"_s << u"Copy URL to Clipboard"_s << false;
    QTest::newRow("min") << u"Label2"_s << u"Min"_s << true;
    QTest::newRow("max") << u"Label3"_s << u"Max"_s << true;
    QTest::newRow("auto group") << u"GroupBox4"_s << u"Auto Capture to File Options"_s << true;
    QTest::newRow("auto capture") << u"AutoCapture"_s << u"Auto Capture To File"_s << true;
    QTest::newRow("every") << u"Label6"_s << u"Auto Capture image every"_s << true;
    QTest::newRow("seconds") << u"Label5"_s << u"Sec."_s << true;
    QTest::newRow("snapshot") << u"Button_Snapshot"_s << u"Save &Snapshot to file now"_s << true;
    QTest::newRow("snapshot options") << u"Button_SnapshotOptions"_s << u"Snapshot Settings"_s << true;
    QTest::newRow("log") << u"GroupBox2"_s << u"Log"_s << true;
}

void TestFormMain::mainWindowControls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);

    ProgramFixture program;
    CreateProgramWindows();
    auto *control = FormMain->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    const QByteArray property = qobject_cast<QGroupBox *>(control) ? "title" : "text";
    QCOMPARE(control->property(property.constData()).toString(), caption);
    QCOMPARE(control->isEnabled(), enabled);
}

void TestFormMain::groupsHaveTheirPlaces()
{
    ProgramFixture program;
    CreateProgramWindows();
    const QList<std::pair<QString, QRect>> groups{
        {u"GroupBox1"_s, {0, 8, 161, 89}},   {u"GroupBox3"_s, {168, 8, 193, 89}},
        {u"UrlBox"_s, {0, 98, 361, 43}},     {u"GroupBoxJpeg"_s, {0, 144, 361, 41}},
        {u"GroupBox4"_s, {0, 188, 361, 68}}, {u"GroupBox2"_s, {0, 254, 361, 167}},
    };
    for (const auto &[name, place] : groups)
        QCOMPARE(FormMain->findChild<QWidget *>(name)->geometry(), place);
}

void TestFormMain::menuTree()
{
    ProgramFixture program;
    CreateProgramWindows();
    QCOMPARE(actionTexts(FormMain->MainMenu1->actions()),
             QStringList({u"&File"_s, u"Video &Options"_s, u"Video Sour&ce"_s, u"S&tatistics"_s, u"&Publish"_s,
                          u"&Hide"_s, u"&Help"_s}));
    QCOMPARE(actionTexts(FormMain->File->actions()),
             QStringList({u"&Save settings as default"_s, u"&Load Defaults"_s, u"-"_s, u"E&xit"_s, u"&Viewers..."_s,
                          u"S&hare..."_s, u"H&TTPS..."_s, u"&Go Live..."_s, u"&Recording..."_s,
                          u"Open Recordings &Folder"_s, u"Let Recorders Find This &Camera (ONVIF)"_s}));
    QCOMPARE(actionTexts(FormMain->Options->actions()),
             QStringList({u"Format (Image Size)"_s, u"Source"_s, u"-"_s, u"Hardware Overlay"_s, u"&Sound"_s}));
    QCOMPARE(actionTexts(FormMain->Sound->actions()).first(), u"None"_s);
    QVERIFY(FormMain->Sound->actions().first()->isChecked());
    // With no microphone the menu says so, in an entry that cannot be chosen.
    const QList<QAction *> sound = FormMain->Sound->actions();
    const bool hint = sound.size() == 2 && sound.at(1)->text() == u"No microphone found"_s && !sound.at(1)->isEnabled();
    QCOMPARE(hint, FormMain->Live->MicrophoneNames().isEmpty());
    QCOMPARE(actionTexts(FormMain->Stastistics1->actions()),
             QStringList({u"Request Chart"_s, u"Last 10 IP's"_s, u"Bandwidth"_s}));
    QCOMPARE(actionTexts(FormMain->Publish1->actions()),
             QStringList({u"Publish Control Panel"_s, u"List Other Published Cameras on Quillon"_s}));
    QCOMPARE(actionTexts(FormMain->HElp1->actions()), QStringList({u"Visit Vantrel Homepage"_s, u"&About"_s}));
    QCOMPARE(FormMain->File->actions().at(2), FormMain->N1);
    QCOMPARE(FormMain->Options->actions().at(2), FormMain->N3);
    QVERIFY(FormMain->HardwareOverlay1->isCheckable());
    QVERIFY(!FormMain->HardwareOverlay1->isChecked());
    QCOMPARE(FormMain->MainMenu1->actions().at(5), FormMain->Hide1);
}

void TestFormMain::hidingAndShowingInitialisesOnce()
{
    ProgramFixture program;
    program.capture->drivers = {{u"Camera"_s, u"1"_s}};
    program.start();
    for (int round = 0; round < 5; ++round) {
        FormMain->Hide1->trigger();
        QVERIFY(!FormMain->isVisible());
        QVERIFY(FormHide->isVisible());
        QVERIFY(FormPreview->isVisible());
        // The window manager may close the small window, which has no close box, all the same.
        if (round % 2)
            FormHide->close();
        else
            QTest::mouseClick(FormHide->Button1, Qt::LeftButton);
        QVERIFY(FormMain->isVisible());
        QVERIFY(!FormHide->isVisible());
    }
    QCOMPARE(countLines(u"- Vantrel v1.4.3"_s), 1);
    QCOMPARE(countLines(Stamp + u"Initialization Successful"_s), 1);
    QCOMPARE(FormMain->Source->actions().size(), 1);
    QCOMPARE(program.capture->calls.count(u"create My Capture Window"_s), 1);
}

// The preview takes its size from the camera's first picture, which may come after the main
// window was placed beside it; a main window the person has moved is left where it is.
void TestFormMain::mainWindowStaysClearOfAGrowingPreview()
{
    QWidget preview;
    QWidget main;
    const auto clearOfPreview = [&] {
        return windowplacement::OuterRect(&main).left() == windowplacement::OuterRect(&preview).right() + 1;
    };
    preview.setGeometry(0, 0, 100, 100);
    preview.show();
    main.resize(100, 100);
    windowplacement::PlaceClearOf(&main, &preview);
    main.show();
    QTRY_VERIFY(clearOfPreview());
    preview.resize(140, 100);
    QTRY_VERIFY(clearOfPreview());
    main.move(60, 300);
    preview.resize(200, 400);
    QTest::qWait(50);
    QCOMPARE(main.pos(), QPoint(60, 300));
}

void TestFormMain::exitLogsAndClosesButCloseBoxDoesNot()
{
    {
        ProgramFixture program;
        program.start();
        FormMain->Exit1->trigger();
        QVERIFY(!FormMain->isVisible());
        QCOMPARE(FormMain->LogLines().constLast(), Stamp + u"Shutting down..."_s);
    }
    {
        ProgramFixture program;
        program.start();
        FormMain->close();
        QVERIFY(!FormMain->isVisible());
        QCOMPARE(countLines(Stamp + u"Shutting down..."_s), 0);
    }
}

void TestFormMain::publishNeedsTheServer()
{
    ProgramFixture program;
    program.start();
    FormMain->PublishcameraQuillon1->trigger();
    QCOMPARE(program.messages.messages.size(), 1);
    QCOMPARE(program.messages.messages.at(0).caption, u"Warning"_s);
    QCOMPARE(program.messages.messages.at(0).text, u"The HTTP Server must be enabled before publishing...."_s);
    QVERIFY(!FormPublish->isVisible());

    FormMain->CheckBox->setChecked(true);
    FormMain->PublishcameraQuillon1->trigger();
    QCOMPARE(program.messages.messages.size(), 1);
    QVERIFY(FormPublish->isVisible());
}

void TestFormMain::webPagesOpenThroughTheDesktop()
{
    ProgramFixture program;
    program.start();
    FormMain->VisitVantrelHomepage1->trigger();
    FormMain->ListCamerasonQuillon1->trigger();
    QCOMPARE(program.urls.urls.size(), 2);
    QCOMPARE(program.urls.urls.at(0).path(), u"/Downloads/files/vantrel"_s);
    QCOMPARE(program.urls.urls.at(0).scheme(), u"http"_s);
    QCOMPARE(program.urls.urls.at(1).path(), u"/cgi-bin/webcam_list.pl"_s);
    QVERIFY(!program.urls.urls.at(1).host().isEmpty());
    QCOMPARE(countLines(Stamp + u"Initialization Successful"_s), 1);
    QCOMPARE(FormMain->LogLines().size(), 12);
}

void TestFormMain::aboutBoxAndStatisticsWindows()
{
    ProgramFixture program;
    program.start();
    FormMain->About1->trigger();
    QCOMPARE(program.messages.messages.size(), 1);
    QVERIFY(program.messages.messages.at(0).text.startsWith(u"Vantrel v1.4.3"_s));

    FormMain->RequestChart1->trigger();
    QVERIFY(FormChart->isVisible());
    FormMain->Last10IPs1->trigger();
    QVERIFY(FormRequestedIPs->isVisible());
    FormMain->Bandwidth1->trigger();
    QVERIFY(FormBandwidth->isVisible());
    QVERIFY(FormMain->isVisible());

    FormChart->close();
    QVERIFY(!FormChart->isVisible());
    QVERIFY(FormChart);
}

void TestFormMain::jpegQualityFollowsTheBar()
{
    ProgramFixture program;
    CreateProgramWindows();
    QCOMPARE(FormMain->GroupBoxJpeg->title(), u"JPEG Image Quality (75%)"_s);
    FormMain->JPEGQuality->setValue(40);
    QCOMPARE(FormMain->GroupBoxJpeg->title(), u"JPEG Image Quality (40%)"_s);
    QCOMPARE(FormMain->FrameJpeg->quality(), 40);
    FormMain->JPEGQuality->setValue(0);
    QCOMPARE(FormMain->GroupBoxJpeg->title(), u"JPEG Image Quality (0%)"_s);
}

void TestFormMain::overlayMenuTogglesAndReportsRefusal()
{
    ProgramFixture program;
    program.capture->drivers = {{u"Camera"_s, u"1"_s}};
    program.capture->overlaySupported = true;
    program.start();
    QVERIFY(FormMain->HardwareOverlay1->isChecked());
    program.capture->calls.clear();

    FormMain->HardwareOverlay1->trigger();
    QVERIFY(!FormMain->HardwareOverlay1->isChecked());
    QCOMPARE(FormMain->LogLines().constLast(), Stamp + u"Toggled hardware overlay to OFF"_s);
    QCOMPARE(program.capture->calls, QStringList({u"overlay off"_s, u"rate 66"_s, u"preview on"_s}));

    program.capture->overlaySupported = false;
    FormMain->HardwareOverlay1->trigger();
    QVERIFY(!FormMain->HardwareOverlay1->isChecked());
    const QStringList lines = FormMain->LogLines();
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({Stamp + u"Toggled hardware overlay to ON"_s,
                          Stamp + u"Capture driver does not support Hardware Overlay! Disabled"_s}));
}

void TestFormMain::sourceItemSwitchesDriver()
{
    ProgramFixture program;
    program.capture->drivers = {{u"Camera A"_s, u"1"_s}, {u"Camera B"_s, u"2"_s}};
    program.start();
    const int before = static_cast<int>(FormMain->LogLines().size());
    program.capture->calls.clear();

    FormMain->Source->actions().at(1)->trigger();
    QCOMPARE(Capture->CurrentDriver(), 1);
    QVERIFY(!FormMain->Source->actions().at(0)->isChecked());
    QVERIFY(FormMain->Source->actions().at(1)->isChecked());
    QCOMPARE(program.capture->calls.mid(0, 3), QStringList({u"preview off"_s, u"connect 0"_s, u"connect 1"_s}));
    QCOMPARE(FormMain->LogLines().mid(before),
             QStringList({Stamp + u"Toggled hardware overlay to ON"_s,
                          Stamp + u"Capture driver does not support Hardware Overlay! Disabled"_s,
                          Stamp + u"Changed capture source"_s}));

    // The checked item again repeats the whole sequence.
    program.capture->calls.clear();
    FormMain->Source->actions().at(1)->trigger();
    QVERIFY(FormMain->Source->actions().at(1)->isChecked());
    QCOMPARE(program.capture->calls.mid(0, 3), QStringList({u"preview off"_s, u"connect 1"_s, u"connect 1"_s}));
}

void TestFormMain::failingDriverKeepsCurrentAndStillLogs()
{
    ProgramFixture program;
    program.capture->drivers = {{u"Camera A"_s, u"1"_s}, {u"Broken"_s, u"2"_s}};
    program.capture->failingConnects = {1};
    program.start();
    const QSize previewSize = FormPreview->size();

    FormMain->Source->actions().at(1)->trigger();
    QCOMPARE(Capture->CurrentDriver(), 0);
    QVERIFY(FormMain->Source->actions().at(1)->isChecked());
    QCOMPARE(FormPreview->size(), previewSize);
    QCOMPARE(FormMain->LogLines().constLast(), Stamp + u"Changed capture source"_s);
}

void TestFormMain::formDestroyShutsCaptureDown()
{
    ProgramFixture program;
    program.capture->drivers = {{u"Camera"_s, u"1"_s}};
    program.start();
    program.capture->calls.clear();
    DestroyProgramWindows();
    QVERIFY(!Capture);
    QVERIFY(!FormMain);
    QCOMPARE(program.capture->calls, QStringList({u"preview off"_s, u"connect 0"_s, u"disconnect"_s}));
}

VANTREL_TEST_MAIN(TestFormMain)
#include "TestFormMain.moc"
