#include "capture/TFormPreview.h"

#include "app/widgets/WindowStyles.h"

TFormPreview::TFormPreview(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::ToolWindowOnTop(this, 313, 231);
}
