// The capture menus and the JPEG quality bar.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"

void TFormMain::connectCaptureHandlers()
{
    onSignal(JPEGQuality, &QScrollBar::valueChanged, &TFormMain::JPEGQualityChange);
    onSignal(Format1, &QAction::triggered, &TFormMain::Format1Click);
    onSignal(Source1, &QAction::triggered, &TFormMain::Source1Click);
    // Qt flips a checkable item before telling us; the handler decides the
    // check mark itself, from the state before the click.
    connect(HardwareOverlay1, &QAction::triggered, this, Guarded<bool>([this](bool checkedByQt) {
                HardwareOverlay1->setChecked(!checkedByQt);
                HardwareOverlay1Click();
            }));
}

void TFormMain::JPEGQualityChange()
{
    GroupBoxJpeg->setTitle(QStringLiteral("JPEG Image Quality (%1%)").arg(JPEGQuality->value()));
    FrameJpeg->setQuality(JPEGQuality->value());
}

void TFormMain::fillSourceMenu()
{
    for (const DriverEntry &driver : Capture->DriverNames()) {
        auto *item = new QAction(driver.description, Source);
        item->setCheckable(true);
        item->setChecked(driver.index == 0);
        item->setData(driver.index);
        connect(item, &QAction::triggered, this, Guarded([this, item] { SourceItemClick(item); }));
        Source->addAction(item);
    }
}

void TFormMain::SourceItemClick(QAction *item)
{
    const QList<QAction *> items = Source->actions();
    for (QAction *each : items)
        each->setChecked(false);
    item->setChecked(true);
    Capture->SelectDriver(item->data().toInt());
    HardwareOverlay1->setChecked(false);
    HardwareOverlay1Click();
    AddToLog(QStringLiteral("Changed capture source"));
}

void TFormMain::Format1Click()
{
    if (Capture)
        Capture->ShowFormatDialog();
    AddToLog(QStringLiteral("User configured capture Format"));
}

void TFormMain::Source1Click()
{
    if (Capture)
        Capture->ShowSourceDialog();
    AddToLog(QStringLiteral("User configured capture Source"));
}

void TFormMain::HardwareOverlay1Click()
{
    const bool on = !HardwareOverlay1->isChecked();
    HardwareOverlay1->setChecked(on);
    AddToLog(on ? QStringLiteral("Toggled hardware overlay to ON") : QStringLiteral("Toggled hardware overlay to OFF"));
    const bool reached = Capture ? Capture->SetOverlay(on) : false;
    if (!reached) {
        AddToLog(QStringLiteral("Capture driver does not support Hardware Overlay! Disabled"));
        HardwareOverlay1->setChecked(false);
    }
}
