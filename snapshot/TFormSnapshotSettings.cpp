#include "snapshot/TFormSnapshotSettings.h"

#include "app/widgets/WindowStyles.h"

TFormSnapshotSettings::TFormSnapshotSettings(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::SizeableWithoutButtons(this, 433, 359);
    windowstyle::CentreOnScreen(this);
}
