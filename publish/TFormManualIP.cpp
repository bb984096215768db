#include "publish/TFormManualIP.h"

#include "app/widgets/WindowStyles.h"

TFormManualIP::TFormManualIP(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::FixedWithoutButtons(this, 132, 59);
    windowstyle::CentreOnScreen(this);
}
