// The capture menus and the JPEG quality bar.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"

#include <QHash>
#include <QSet>

void TFormMain::connectCaptureHandlers()
{
    ConnectGuarded(JPEGQuality, &QScrollBar::valueChanged, this, &TFormMain::JPEGQualityChange);
    ConnectGuarded(Format1, &QAction::triggered, this, &TFormMain::Format1Click);
    ConnectGuarded(Source1, &QAction::triggered, this, &TFormMain::Source1Click);
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
        QAction *item = makeSourceItem(driver);
        item->setChecked(driver.index == 0);
        Source->addAction(item);
    }
    Capture->SetCameraListener([this](const QString &name, bool connected) { CameraChanged(name, connected); });
}

QAction *TFormMain::makeSourceItem(const DriverEntry &driver)
{
    auto *item = new QAction(driver.description, Source);
    item->setCheckable(true);
    item->setData(driver.index);
    connect(item, &QAction::triggered, this, Guarded([this, item] { SourceItemClick(item); }));
    return item;
}

// The menu follows the capture device's list: items of drivers that left it go, new ones take
// their place in it, and every other item keeps its place and check mark.
void TFormMain::syncSourceMenu()
{
    QHash<int, QAction *> items;
    const QList<QAction *> shown = Source->actions();
    for (QAction *item : shown)
        items.insert(item->data().toInt(), item);
    QSet<int> listed;
    QAction *next = nullptr;
    const QList<DriverEntry> &drivers = Capture->DriverNames();
    for (auto driver = drivers.rbegin(); driver != drivers.rend(); ++driver) {
        listed.insert(driver->index);
        QAction *&item = items[driver->index];
        if (!item) {
            item = makeSourceItem(*driver);
            Source->insertAction(next, item);
        }
        item->setText(driver->description);
        next = item;
    }
    for (QAction *item : shown) {
        if (!listed.contains(item->data().toInt()))
            delete item;
    }
}

void TFormMain::CameraChanged(const QString &name, bool connected)
{
    syncSourceMenu();
    AddToLog((connected ? QStringLiteral("Camera connected: ") : QStringLiteral("Camera removed: ")) + name);
}

void TFormMain::SourceItemClick(QAction *item)
{
    const QList<QAction *> items = Source->actions();
    for (QAction *each : items)
        each->setChecked(false);
    item->setChecked(true);
    Capture->SelectDriver(item->data().toInt());
    syncSourceMenu();
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
