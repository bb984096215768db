// The main window's own menu commands: exit, hide, about, web pages and the
// statistics windows.
#include "app/Globals.h"
#include "app/TFormHide.h"
#include "app/TFormMain.h"
#include "base/AppInfo.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowPlacement.h"
#include "publish/DirectoryServer.h"
#include "publish/TFormPublish.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"

namespace {

// Shows a window without making it modal and brings it forward.
void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

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

void TFormMain::RequestChart1Click() { showWindow(FormChart); }

void TFormMain::Last10IPs1Click() { showWindow(FormRequestedIPs); }

void TFormMain::Bandwidth1Click() { showWindow(FormBandwidth); }
