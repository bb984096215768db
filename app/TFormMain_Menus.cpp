// The main window's own menu commands: exit, hide, about, web pages and the
// statistics windows.
#include "app/Globals.h"
#include "app/TFormHide.h"
#include "app/TFormMain.h"
#include "base/AppInfo.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowPlacement.h"
#include "capture/TFormPreview.h"
#include "publish/DirectoryServer.h"
#include "publish/TFormPublish.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"

#include <QEvent>

#include <functional>

namespace {

// Shows a window without making it modal and brings it forward.
void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// Told when the preview changes its size (the camera's size changed).
class ResizeWatch : public QObject {
public:
    ResizeWatch(QWidget *watched, std::function<void()> resized) : QObject(watched), resized_(std::move(resized))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            resized_();
        return false;
    }

private:
    std::function<void()> resized_;
};

} // namespace

// A statistics window opens clear of the always-on-top preview, the main window and the other
// statistics windows, and stays clear of them when the preview grows.
void TFormMain::showStatisticsWindow(QWidget *window, bool bringForward)
{
    const auto clearOfTheOthers = [this](QWidget *placed) {
        QList<QWidget *> others{FormPreview, this};
        for (QWidget *each : {static_cast<QWidget *>(FormChart), static_cast<QWidget *>(FormRequestedIPs),
                              static_cast<QWidget *>(FormBandwidth)})
            if (each != placed)
                others.append(each);
        windowplacement::MoveClearOf(placed, others);
    };
    if (!previewWatched_ && FormPreview) {
        previewWatched_ = true;
        new ResizeWatch(FormPreview, [clearOfTheOthers] {
            for (QWidget *each : {static_cast<QWidget *>(FormChart), static_cast<QWidget *>(FormRequestedIPs),
                                  static_cast<QWidget *>(FormBandwidth)})
                if (each && each->isVisible())
                    clearOfTheOthers(each);
        });
    }
    // At the start the preview has not its size yet: the window goes where it was, and moves
    // only if the preview grows over it.
    if (!bringForward) {
        window->show();
        return;
    }
    clearOfTheOthers(window);
    showWindow(window);
}

void TFormMain::connectShellHandlers()
{
    ConnectGuarded(Exit1, &QAction::triggered, this, &TFormMain::Exit1Click);
    ConnectGuarded(Hide1, &QAction::triggered, this, &TFormMain::Hide1Click);
    ConnectGuarded(About1, &QAction::triggered, this, &TFormMain::About1Click);
    ConnectGuarded(VisitVantrelHomepage1, &QAction::triggered, this, &TFormMain::VisitVantrelHomepage1Click);
    ConnectGuarded(ListCamerasonQuillon1, &QAction::triggered, this, &TFormMain::ListCamerasonQuillon1Click);
    ConnectGuarded(PublishcameraQuillon1, &QAction::triggered, this, &TFormMain::PublishcameraQuillon1Click);
    ConnectGuarded(RequestChart1, &QAction::triggered, this, &TFormMain::RequestChart1Click);
    ConnectGuarded(Last10IPs1, &QAction::triggered, this, &TFormMain::Last10IPs1Click);
    ConnectGuarded(Bandwidth1, &QAction::triggered, this, &TFormMain::Bandwidth1Click);
}

void TFormMain::Exit1Click()
{
    AddToLog(QStringLiteral("Shutting down..."));
    close();
}

void TFormMain::Hide1Click()
{
    showWindow(FormHide);
    windowplacement::HideInPlace(this);
}

void TFormMain::About1Click()
{
    seams::ShowMessage(this, QStringLiteral("About"),
                       AppVersion + QStringLiteral("\n") + AuthorCredit + QStringLiteral("\n") + MakerWebAddress);
}

void TFormMain::VisitVantrelHomepage1Click() { seams::OpenUrl(QUrl(MakerWebAddress + DownloadPagePath)); }

void TFormMain::ListCamerasonQuillon1Click() { seams::OpenUrl(directory::ListPageUrl()); }

void TFormMain::PublishcameraQuillon1Click()
{
    if (CheckBox->isChecked())
        showWindow(FormPublish);
    else
        seams::ShowMessage(this, QStringLiteral("Warning"),
                           QStringLiteral("The HTTP Server must be enabled before publishing...."));
}

void TFormMain::RequestChart1Click() { showStatisticsWindow(FormChart); }

void TFormMain::Last10IPs1Click() { showStatisticsWindow(FormRequestedIPs); }

void TFormMain::Bandwidth1Click() { showStatisticsWindow(FormBandwidth); }
