#include "recording/TFormRecording.h"

#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"

#include <QCheckBox>
#include <QPushButton>

TFormRecording::TFormRecording(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    windowstyle::ActsAsModalDialog(this);
    Edit_Folder->setPlaceholderText(RecordingSettings::DefaultFolder());
    connect(Buttons, &QDialogButtonBox::accepted, this, [this] {
        shown_ = Settings();
        if (OnApply)
            OnApply(shown_);
        accept();
    });
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Button_Browse, &QPushButton::clicked, this, &TFormRecording::browse);
    connect(Button_OpenFolder, &QPushButton::clicked, this, [this] {
        if (OnOpenFolder)
            OnOpenFolder();
    });
    connect(CheckBox_Upload, &QCheckBox::toggled, Edit_UploadFolder, &QWidget::setEnabled);
    Edit_UploadFolder->setEnabled(false);
    connect(this, &QDialog::rejected, this, [this] { SetSettings(shown_); });
}

void TFormRecording::SetSettings(const RecordingSettings &settings)
{
    shown_ = settings;
    Combo_Mode->setCurrentIndex(static_cast<int>(settings.mode));
    Edit_Folder->setText(settings.folder);
    Spin_Pre->setValue(settings.preSeconds);
    Spin_Post->setValue(settings.postSeconds);
    Spin_Comparisons->setValue(settings.motionComparisons);
    Spin_Segment->setValue(settings.segmentMinutes);
    Spin_MaxGB->setValue(settings.maxGB);
    Spin_MaxDays->setValue(settings.maxDays);
    Spin_ReserveGB->setValue(settings.reserveGB);
    CheckBox_Sound->setChecked(settings.sound);
    CheckBox_Upload->setChecked(settings.upload);
    Edit_UploadFolder->setText(settings.uploadFolder);
}

RecordingSettings TFormRecording::Settings() const
{
    RecordingSettings s = shown_;
    s.mode = static_cast<RecordingSettings::Mode>(Combo_Mode->currentIndex());
    s.folder = Edit_Folder->text().trimmed();
    s.preSeconds = Spin_Pre->value();
    s.postSeconds = Spin_Post->value();
    s.motionComparisons = Spin_Comparisons->value();
    s.segmentMinutes = Spin_Segment->value();
    s.maxGB = Spin_MaxGB->value();
    s.maxDays = Spin_MaxDays->value();
    s.reserveGB = Spin_ReserveGB->value();
    s.sound = CheckBox_Sound->isChecked();
    s.upload = CheckBox_Upload->isChecked();
    s.uploadFolder = Edit_UploadFolder->text().trimmed();
    return s;
}

void TFormRecording::browse()
{
    const QString start = Edit_Folder->text().isEmpty() ? RecordingSettings::DefaultFolder() : Edit_Folder->text();
    if (const std::optional<QString> chosen =
            seams::GetExistingDirectory(this, QStringLiteral("Select Directory"), start))
        Edit_Folder->setText(*chosen);
}
