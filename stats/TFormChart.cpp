#include "stats/TFormChart.h"

#include "app/widgets/WindowStyles.h"

TFormChart::TFormChart(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::ToolWindowWithCloseBox(this, 622, 194);
}
