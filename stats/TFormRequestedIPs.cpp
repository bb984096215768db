#include "stats/TFormRequestedIPs.h"

#include "app/widgets/WindowStyles.h"

TFormRequestedIPs::TFormRequestedIPs(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::DialogWithCloseBox(this, 368, 163);
}
