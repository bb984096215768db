#pragma once

#include "ui_TFormGoLive.h"

#include <QDialog>

#include <functional>

// "Go Live": where the camera is pushed to (server address, stream key, bitrate, whether to
// go live at start), the button that starts and stops it, and a line that tells how it goes.
// It does not block its owner: the user may watch the line while using the program.
class TFormGoLive : public QDialog, public Ui::TFormGoLive {
    Q_OBJECT

public:
    explicit TFormGoLive(QWidget *parent = nullptr);

    QString Url() const { return Edit_Url->text().trimmed(); }
    QString Key() const { return Edit_Key->text().trimmed(); }
    int Bitrate() const { return Spin_Bitrate->value(); }
    bool AutoStart() const { return CheckBox_AutoStart->isChecked(); }
    void SetChoices(const QString &url, const QString &key, int bitrateKbps, bool autoStart);

    // The state line, and whether the button stops (a push is under way) or starts one.
    void ShowState(const QString &text, bool active);

    // "Go live" and "Stop" pressed; Closed when the window goes (the fields may have changed).
    std::function<void()> OnGoLive;
    std::function<void()> OnStop;
    std::function<void()> OnClosed;

    void done(int result) override;

private:
    bool active_ = false;
};
