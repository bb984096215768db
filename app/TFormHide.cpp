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
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
}

void TFormHide::Button1Click()
{
    FormMain->show();
    FormMain->raise();
    FormMain->activateWindow();
    close();
}
