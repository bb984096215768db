// Recordings: the recorder wired to the live service's feeds, the capture's frames and the
// snapshots' motion settings; the "Recording" window, the folder and the indicator.
#include "app/Globals.h"
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "base/settings/IniFile.h"
#include "base/widgets/WindowStyles.h"
#include "live/LiveService.h"
#include "recording/ClipUploader.h"
#include "recording/Recorder.h"
#include "recording/TFormRecording.h"
#include "snapshot/TFormSnapshotSettings.h"

#include <QDir>
#include <QLabel>
#include <QUrl>

void TFormMain::createRecording()
{
    Recording = std::make_unique<Recorder>(Live->PictureFeed(), Live->AacSound());
    connect(Recording.get(), &Recorder::logged, this, [this](const QString &line) { AddToLog(line); });
    recordingIndicator_ = new QLabel(QStringLiteral("\u25cf Recording"), ClientArea);
    recordingIndicator_->setObjectName(QStringLiteral("RecordingIndicator"));
    recordingIndicator_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    recordingIndicator_->setGeometry(272, 252, 86, 16);
    recordingIndicator_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    recordingIndicator_->hide();
    connect(Recording.get(), &Recorder::activeChanged, recordingIndicator_, &QLabel::setVisible);
    connect(Live.get(), &LiveService::soundChanged, this,
            [this] { Recording->SetMicrophoneChosen(!Live->Sound().isEmpty()); });

    ClipUploads = std::make_unique<ClipUploader>();
    connect(ClipUploads.get(), &ClipUploader::logged, this, [this](const QString &line) { AddToLog(line); });
    connect(Recording.get(), &Recorder::saved, this, &TFormMain::uploadRecording);

    FormRecording = std::make_unique<TFormRecording>();
    FormRecording->OnApply = [this](const RecordingSettings &settings) { applyRecordingChoices(settings); };
    FormRecording->OnOpenFolder = [this] { OpenRecordingsFolder1Click(); };
    ConnectGuarded(Recording1, &QAction::triggered, this, &TFormMain::Recording1Click);
    ConnectGuarded(OpenRecordingsFolder1, &QAction::triggered, this, &TFormMain::OpenRecordingsFolder1Click);
}

// The snapshots' motion settings are the recordings' too (their window exists by now).
void TFormMain::followSnapshotMotionSettings()
{
    const TFormSnapshotSettings &snapshots = *FormSnapshotSettings;
    connect(snapshots.ScrollBar_MotionDetectionSensitivity, &QScrollBar::valueChanged, this,
            [this](int value) { Recording->SetMotionSensitivity(value); });
    connect(snapshots.CheckBox_DebugMotionDetection, &QCheckBox::toggled, this,
            [this](bool on) { Recording->SetDebugMotion(on); });
    Recording->SetMotionSensitivity(snapshots.ScrollBar_MotionDetectionSensitivity->value());
    Recording->SetDebugMotion(snapshots.CheckBox_DebugMotionDetection->isChecked());
}

// To the server the snapshots go to, as it is set when the clip ends.
void TFormMain::uploadRecording(const QString &path)
{
    const RecordingSettings &settings = Recording->Settings();
    if (!settings.upload || !ClipUploads) // none while the windows are taken down
        return;
    const TFormSnapshotSettings &snapshots = *FormSnapshotSettings;
    ClipUploads->Upload(path, {.host = snapshots.Edit_FTPRemoteAddress->text().trimmed(),
                               .port = snapshots.SpinEdit_FTPRemotePort->value(),
                               .user = snapshots.Edit_FTPUsername->text(),
                               .password = snapshots.Edit_FTPPassword->text(),
                               .passive = snapshots.CheckBox_FTPPassive->isChecked(),
                               .folder = settings.uploadFolder});
}

void TFormMain::Recording1Click()
{
    FormRecording->SetSettings(Recording->Settings());
    windowstyle::OwnedBy(FormRecording.get(), this);
    FormRecording->show();
    FormRecording->raise();
    FormRecording->activateWindow();
}

void TFormMain::OpenRecordingsFolder1Click()
{
    const QString folder = Recording->Folder();
    if (!QDir().mkpath(folder)) {
        AddToLog(QStringLiteral("Recordings folder %1 cannot be made").arg(folder));
        return;
    }
    seams::OpenUrl(QUrl::fromLocalFile(folder));
}

// The choices go into the settings file at once, as the Go Live window's do.
void TFormMain::applyRecordingChoices(const RecordingSettings &settings)
{
    Recording->Apply(settings);
    IniFile ini(SettingsFileForWriting(), IniFile::Writes::Deferred);
    saveRecordingSettings(ini);
    ini.Save();
}

void TFormMain::loadRecordingSettings(const IniFile &ini) { Recording->Apply(RecordingSettings::Load(ini)); }

// Nothing is written for a user who never recorded.
void TFormMain::saveRecordingSettings(IniFile &ini) const
{
    const bool untouched = Recording->Settings().mode == RecordingSettings::Mode::Off &&
                           ini.ReadString(QStringLiteral("FormRecording"), QStringLiteral("Mode"),
                                          QStringLiteral("-")) == QStringLiteral("-");
    if (!untouched)
        Recording->Settings().Save(ini);
}
