#include "stats/TFormBandwidth.h"

#include "app/widgets/WindowStyles.h"

TFormBandwidth::TFormBandwidth(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::DialogWithCloseBox(this, 230, 54);
    move(255, 190);
}
