#pragma once

#include "recording/RecordingSettings.h"
#include "ui_TFormRecording.h"

#include <QDialog>

#include <functional>

// "Recording": the mode, the folder, the seconds around motion, sound, and how much is kept.
// OK applies the choices; Cancel leaves the ones in use. It belongs to the main window and
// stays above it.
class TFormRecording : public QDialog, public Ui::TFormRecording {
    Q_OBJECT

public:
    explicit TFormRecording(QWidget *parent = nullptr);

    void SetSettings(const RecordingSettings &settings);
    RecordingSettings Settings() const;

    // OK pressed with these choices.
    std::function<void(const RecordingSettings &)> OnApply;
    // "Open Recordings Folder" pressed.
    std::function<void()> OnOpenFolder;

private:
    void browse();
    // What the fields do not show (the file's own keys) is kept as it was.
    RecordingSettings shown_;
};
