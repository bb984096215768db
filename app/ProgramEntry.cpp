#include "app/ProgramEntry.h"

#include "net/PosixSocket.h"

#include "app/CommandLine.h"
#include "app/DisplayChoice.h"
#include "app/Globals.h"
#include "app/RunningProgram.h"
#include "app/SettingsLocation.h"
#include "app/TFormHide.h"
#include "app/TFormMain.h"
#include "app/TerminationSignals.h"
#include "app/VantrelApplication.h"
#include "base/AppInfo.h"
#include "base/log/LogMirror.h"
#include "base/seams/ExceptionDisplay.h"
#include "capture/TFormPreview.h"
#include "desktop/ProgramIcon.h"
#include "publish/TFormManualIP.h"
#include "publish/TFormPublish.h"
#include "snapshot/TFormSnapshotSettings.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"

#include <QFile>

#include <cstdio>
#include <memory>

void CreateProgramWindows()
{
    FormMain = new TFormMain;
    FormPreview = new TFormPreview;
    FormChart = new TFormChart;
    FormRequestedIPs = new TFormRequestedIPs;
    FormBandwidth = new TFormBandwidth;
    FormPublish = new TFormPublish;
    FormManualIP = new TFormManualIP;
    FormHide = new TFormHide;
    FormSnapshotSettings = new TFormSnapshotSettings;
    QObject::connect(FormPreview, &TFormPreview::FormClose, FormMain, &QWidget::close);
    FormPublish->SetMainWindow(FormMain, FormMain->Url);
    FormPublish->SetManualIPWindow(FormManualIP);
    FormPublish->SetEventLog([](const QString &line) { FormMain->AddToLog(line); });
    FormManualIP->SetPublishWindow(FormPublish, FormPublish->UrlBox, FormMain->SpinEdit);
}

namespace {
template <typename Window> void destroyWindow(Window *&window)
{
    delete window;
    window = nullptr;
}
} // namespace

void DestroyProgramWindows()
{
    // The main window goes first: it shuts the capture device down while the
    // preview window that holds the capture window still exists.
    destroyWindow(FormMain);
    destroyWindow(FormSnapshotSettings);
    destroyWindow(FormHide);
    destroyWindow(FormManualIP);
    destroyWindow(FormPublish);
    destroyWindow(FormBandwidth);
    destroyWindow(FormRequestedIPs);
    destroyWindow(FormChart);
    destroyWindow(FormPreview);
    Initialized = false;
}

int RunProgram(int argc, char **argv)
{
    // Options that only print are answered before anything needs a display.
    if (const std::optional<int> exitCode = HandleCommandLine(argc, argv))
        return *exitCode;
    InstallStandardErrorLogging();
    PosixSocket::RaiseDescriptorLimit();
    std::unique_ptr<VantrelApplication> application;
    try {
        application = std::make_unique<VantrelApplication>(argc, argv);
        ForgetChosenDisplay();
        QApplication::setApplicationName(AppTitle);
        QApplication::setWindowIcon(ProgramIcon());
        // Closing the main window ends the program, not closing the last window.
        QApplication::setQuitOnLastWindowClosed(false);
        QuitOnTerminationSignals();
        const QString name = RunningProgram::NameFor(SettingsFileLocation());
        if (RunningProgram::AskForward(name)) {
            std::fprintf(stderr, "Vantrel already runs with the settings file %s: its window was brought forward\n",
                         SettingsFileLocation().constData());
            return 0;
        }
        RunningProgram running;
        running.Listen(name);
        running.OnAskedForward = [] {
            if (!FormMain)
                return;
            FormMain->showNormal();
            FormMain->raise();
            FormMain->activateWindow();
        };
        CreateProgramWindows();
        FormMain->show();
        if (RunsHeadless)
            FormMain->AddToLog(
                FormMain->CheckBox->isChecked()
                    ? QStringLiteral("Running without windows; the server is on")
                    : QStringLiteral("Running without windows, and the server is off: write Enabled=1 under "
                                     "[FormMain] in %1 to switch it on")
                          .arg(QFile::decodeName(SettingsFileLocation())));
        if (!TerminationRequested())
            QApplication::exec();
    } catch (...) {
        ShowCurrentException();
    }
    if (application)
        DestroyProgramWindows();
    return 0;
}
