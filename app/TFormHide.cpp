#include "app/TFormHide.h"

#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/seams/ExceptionDisplay.h"
#include "base/widgets/WindowStyles.h"

TFormHide::TFormHide(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    windowstyle::DialogWithoutButtons(this, 104, 26);
    windowstyle::CentreOnScreen(this);
    windowstyle::NeverMinimised(this);
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
}

void TFormHide::Button1Click()
{
    showMainWindow();
    close();
}

// It has no close box, but a window manager may close it all the same: the main window then comes back, as
// with "&Show", rather than staying hidden with nothing left to show it by.
void TFormHide::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (FormMain && !FormMain->isVisible())
        showMainWindow();
}

void TFormHide::showMainWindow()
{
    FormMain->show();
    FormMain->raise();
    FormMain->activateWindow();
}
