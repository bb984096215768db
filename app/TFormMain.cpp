#include "app/TFormMain.h"

#include "app/Globals.h"
#include "base/AppInfo.h"
#include "base/widgets/Glyphs.h"
#include "base/widgets/WindowStyles.h"
#include "capture/CaptureDevice.h"
#include "capture/CapturePlatformFactory.h"
#include "capture/FrameTaps.h"
#include "capture/JpegImage.h"
#include "capture/TFormPreview.h"
#include "live/LiveService.h"
#include "live/TFormGoLive.h"
#include "net/TlsContext.h"
#include "recording/ClipUploader.h"
#include "recording/MotionWatch.h"
#include "recording/Recorder.h"
#include "recording/TFormRecording.h"
#include "server/HttpsCertificate.h"
#include "server/TFormHttps.h"
#include "server/TFormShare.h"
#include "server/TFormViewers.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLayout>

TFormMain::TFormMain(QWidget *parent) : QMainWindow(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Log->setMaximumBlockCount(MaxLogLines);
    // Seven menus share a 361-pixel bar: keep every one of them on it.
    MainMenu1->setStyleSheet(QStringLiteral("QMenuBar { spacing: 0px; } QMenuBar::item { padding: 2px 4px; }"));
    Button_Snapshot->setIcon(glyphs::Camera());
    addSeparators();

    FrameJpeg = std::make_unique<JpegImage>();
    FrameBitmap = std::make_unique<QImage>();
    PreviousFrameBitmap = std::make_unique<QImage>();

    connectShellHandlers();
    connectLogHandlers();
    connectSettingsHandlers();
    connectCaptureHandlers();
    createServerSocket();
    createStream();
    createLive();
    connectServerHandlers();
    connectSnapshotHandlers();
    startChartTimer();
    createFtpClient();
    createViewersWindow();
    createShareWindow();
    createGoLive();
    createRecording();
    createOnvif();
    createHttps();
    JPEGQualityChange();
}

TFormMain::~TFormMain() { FormDestroy(); }

void TFormMain::addSeparators()
{
    N1 = File->insertSeparator(Exit1);
    N1->setObjectName(QStringLiteral("N1"));
    N3 = Options->insertSeparator(HardwareOverlay1);
    N3->setObjectName(QStringLiteral("N3"));
}

void TFormMain::FormDestroy()
{
    slowCheckQueue_.reset();
    discovery_.reset();
    FrameJpeg.reset();
    FrameBitmap.reset();
    // Recordings end before the live side they take from, and the live side before the
    // capture that feeds it.
    Recording.reset();
    Live.reset();
    if (Capture) {
        delete Capture;
        Capture = nullptr;
    }
    PreviousFrameBitmap.reset();
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    // The main window is the program: closing it ends the message loop even
    // while the preview and other windows are still on screen. Not quit():
    // that asks every window first, and one that refuses to close (snapshot
    // settings with FTP information missing) would keep the program running
    // with no window left to end it.
    if (event->isAccepted())
        QCoreApplication::exit(0);
}

void TFormMain::FormShow()
{
    if (!Initialized)
        InitializeOnFirstShow();
}

void TFormMain::InitializeOnFirstShow()
{
    setWindowTitle(AppVersion);
    ButtonClearLogClick();
    FormPreview->show();
    WriteBanner();
    AddToLog(QStringLiteral("Initializing capture object"));
    Capture = new CaptureDevice(FormPreview, MakeCapturePlatform());
    AddToLog(QStringLiteral("Initializing available capture drivers"));
    fillSourceMenu();
    AddToLog(QStringLiteral("Setting preview to 66.6/fpm"));
    Capture->PreviewRate = 66;
    AddToLog(QStringLiteral("Initializing preview with device #0"));
    if (!Capture->DriverNames().isEmpty())
        Capture->SelectDriver(0);
    Capture->SetFrameListener([this] { FrameArrived(); });
    Capture->SetFrameTap(std::make_shared<FrameTaps>(
        std::vector<std::shared_ptr<FrameTap>>{Live->FrameInput(), Recording->MotionInput(), onvifMotion_}));
    Live->FollowMicrophones();
    followSnapshotMotionSettings();
    HardwareOverlay1Click();
    LoadSettings();
    AddToLog(QStringLiteral("Initialization Successful"));
    AddUntimedLine(QStringLiteral("* Click \"Enable Server\" to begin hosting your webcam"));
    Initialized = true;
    goLiveAtStart();
}

void TFormMain::WriteBanner()
{
    AddUntimedLine(QStringLiteral("- ") + AppVersion);
    AddUntimedLine(QStringLiteral("- ") + AuthorCredit);
    AddUntimedLine(QStringLiteral("- ") + MakerWebAddress);
}
