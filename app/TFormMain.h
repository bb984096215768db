#pragma once

#include "ui_TFormMain.h"

#include "app/seams/ExceptionDisplay.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>

#include <memory>

class JpegImage;
struct CapturedFrame;
class QAction;
class QBuffer;
class QTimer;

// The main window: the server, log, JPEG and auto-capture controls, the menus,
// and the program's own operations. Its handlers are spread over files by topic.
class TFormMain : public QMainWindow, public Ui::TFormMain {
    Q_OBJECT

public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // Start-up and the shell (TFormMain.cpp, TFormMain_Menus.cpp)
    void FormShow();
    void InitializeOnFirstShow();
    void WriteBanner();
    void Exit1Click();
    void Hide1Click();
    void About1Click();
    void VisitVantrelHomepage1Click();
    void ListCamerasonQuillon1Click();
    void PublishcameraQuillon1Click();
    void RequestChart1Click();
    void Last10IPs1Click();
    void Bandwidth1Click();

    // Event log (TFormMain_Log.cpp)
    void AddToLog(const QString &message);
    void AddUntimedLine(const QString &line);
    void ButtonClearLogClick();
    void Button1Click();
    QStringList LogLines() const;

    // Settings file (TFormMain_Settings.cpp)
    void LoadSettings();
    void SaveSettings();
    void LoadDefaults1Click();
    void Savesettingstofile1Click();

    // Capture menus and JPEG quality (TFormMain_Capture.cpp)
    void JPEGQualityChange();
    void SourceItemClick(QAction *item);
    void Format1Click();
    void Source1Click();
    void HardwareOverlay1Click();

    // Frame grab (TFormMain_Grab.cpp)
    bool GrabFrame();
    std::unique_ptr<QBuffer> BuildFrameStream();

    // Request chart (TFormMain_Stats.cpp)
    void ChartTimerTimer();
    QTimer *ChartTimer = nullptr;

    std::unique_ptr<JpegImage> FrameJpeg;
    std::unique_ptr<QImage> FrameBitmap;
    std::unique_ptr<QImage> PreviousFrameBitmap;

    // Separators of the File and Video Options menus.
    QAction *N1 = nullptr;
    QAction *N3 = nullptr;

    // Lines the log view keeps before dropping the oldest.
    static constexpr int MaxLogLines = 20000;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Connects a signal to a handler of this window through the exception display.
    template <typename Sender, typename Signal>
    void onSignal(Sender *sender, Signal signal, void (TFormMain::*handler)())
    {
        connect(sender, signal, this, Guarded([this, handler] { (this->*handler)(); }));
    }

    void FormDestroy();
    void addSeparators();
    void connectShellHandlers();
    void connectLogHandlers();
    void connectSettingsHandlers();
    void connectCaptureHandlers();
    void startChartTimer();
    void fillSourceMenu();
    void takeFrame(const CapturedFrame &frame);
    void reportMissingFrame(const QString &source);
};
