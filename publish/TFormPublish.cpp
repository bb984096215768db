#include "publish/TFormPublish.h"

#include "app/widgets/WindowStyles.h"

TFormPublish::TFormPublish(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::DialogWithCloseBox(this, 306, 162);
    windowstyle::CentreOnScreen(this);
}
