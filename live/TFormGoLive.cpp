#include "live/TFormGoLive.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/widgets/WindowStyles.h"

TFormGoLive::TFormGoLive(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    const QSize size = sizeHint();
    windowstyle::DialogWithCloseBox(this, size.width(), size.height());
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);
    connect(ButtonGoLive, &QPushButton::clicked, this, Guarded([this] {
                const auto &pressed = active_ ? OnStop : OnGoLive;
                if (pressed)
                    pressed();
            }));
    connect(ButtonClose, &QPushButton::clicked, this, Guarded([this] { reject(); }));
}

void TFormGoLive::SetChoices(const QString &url, const QString &key, int bitrateKbps, bool autoStart)
{
    Edit_Url->setText(url);
    Edit_Key->setText(key);
    Spin_Bitrate->setValue(bitrateKbps);
    CheckBox_AutoStart->setChecked(autoStart);
}

void TFormGoLive::ShowState(const QString &text, bool active)
{
    LabelState->setText(text);
    active_ = active;
    ButtonGoLive->setText(active ? QStringLiteral("Stop") : QStringLiteral("Go live"));
}

void TFormGoLive::done(int result)
{
    QDialog::done(result);
    if (OnClosed)
        OnClosed();
}
