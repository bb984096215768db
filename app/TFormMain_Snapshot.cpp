// Snapshots: the snapshot run, its motion gate and local save, and auto capture.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/seams/Exception.h"
#include "base/seams/Seams.h"
#include "capture/JpegImage.h"
#include "snapshot/MotionDetection.h"
#include "snapshot/SnapshotFile.h"
#include "snapshot/SnapshotName.h"
#include "snapshot/TFormSnapshotSettings.h"

#include <QScopeGuard>
#include <QTimer>

using namespace Qt::StringLiterals;

void TFormMain::connectSnapshotHandlers()
{
    TimerAuto = new QTimer(this);
    TimerAuto->setObjectName(u"TimerAuto"_s);
    // A coarse timer may shift each tick by up to 5%; snapshots keep their rhythm.
    TimerAuto->setTimerType(Qt::PreciseTimer);
    ConnectGuarded(TimerAuto, &QTimer::timeout, this, &TFormMain::queueTimedSnapshot);
    ConnectGuarded(AutoCapture, &QCheckBox::toggled, this, &TFormMain::AutoCaptureClick);
    ConnectGuarded(AutoTime, &QSpinBox::valueChanged, this, &TFormMain::AutoTimeChange);
    ConnectGuarded(Button_Snapshot, &QPushButton::clicked, this, &TFormMain::Button_SnapshotClick);
    ConnectGuarded(Button_SnapshotOptions, &QPushButton::clicked, this, &TFormMain::Button_SnapshotOptionsClick);
}

void TFormMain::AutoCaptureClick()
{
    AutoTimeChange();
    if (!AutoCapture->isChecked())
        TimerAuto->stop();
    else if (!TimerAuto->isActive())
        TimerAuto->start();
}

void TFormMain::AutoTimeChange()
{
    // QTimer restarts its countdown on every new interval, also an equal one.
    const int interval = AutoTime->value() * 1000;
    if (TimerAuto->interval() != interval)
        TimerAuto->setInterval(interval);
}

// A timer does not fire again while its own handler runs, and a snapshot run can wait in
// its FTP session for many ticks. So the tick only queues the run, and the ticks that come
// during its waits start runs of their own.
void TFormMain::queueTimedSnapshot()
{
    QMetaObject::invokeMethod(this, Guarded([this] {
                                  if (AutoCapture->isChecked())
                                      TimerAutoTimer();
                              }),
                              Qt::QueuedConnection);
}

void TFormMain::TimerAutoTimer()
{
    Button_Snapshot->setEnabled(false);
    ++timedRuns_;
    const auto enableAgain = qScopeGuard([this] {
        if (--timedRuns_ == 0)
            Button_Snapshot->setEnabled(true);
    });
    Button_SnapshotClick();
}

void TFormMain::Button_SnapshotOptionsClick()
{
    AutoCapture->setChecked(false);
    FormSnapshotSettings->SetOwnerWindow(this);
    FormSnapshotSettings->show();
}

void TFormMain::Button_SnapshotClick()
{
    if (!GrabFrame())
        return;
    const TFormSnapshotSettings &settings = *FormSnapshotSettings;
    const int threshold = motion::ThresholdFor(settings.ScrollBar_MotionDetectionSensitivity->value());
    const QString name = snapshotname::SnapshotName(settings.Edit_ManualFilename->text(), seams::Now());
    if (settings.CheckBox_MotionDetection->isChecked() && !motion::EnoughMotion(detectMotion(threshold), threshold))
        return;
    if (settings.CheckBox_Local->isChecked())
        saveLocalSnapshot(name);
    if (settings.CheckBox_FTP->isChecked())
        uploadSnapshot();
}

int TFormMain::detectMotion(int threshold)
{
    const std::optional<int> count = motion::CountUnmatchedAreas(*FrameBitmap, *PreviousFrameBitmap, threshold);
    if (count && FormSnapshotSettings->CheckBox_DebugMotionDetection->isChecked())
        AddToLog(u"Motion Detection found %1 unmatched areas"_s.arg(*count));
    motion::KeepFrame(*FrameBitmap, *PreviousFrameBitmap);
    return count.value_or(0);
}

void TFormMain::saveLocalSnapshot(const QString &name)
{
    try {
        SaveSnapshotFile(FormSnapshotSettings->Edit_LocalSaveDir->text(), name, FrameJpeg->data());
    } catch (...) {
        stopAutoCaptureAfterError();
        throw;
    }
    AddToLog(u"Local Snapshot "_s + name + u" saved"_s);
}

void TFormMain::uploadSnapshot()
{
    // Refused as the local save refuses it: an empty file is no snapshot.
    if (FrameJpeg->data().isEmpty()) {
        stopAutoCaptureAfterError();
        throw Exception(u"Cannot upload snapshot: no picture has been captured yet"_s);
    }
    NMFTPStart(FrameJpeg->data());
}

// Shown once: a failing setting must not raise a new box on every tick.
void TFormMain::stopAutoCaptureAfterError()
{
    if (!AutoCapture->isChecked())
        return;
    AddToLog(u"Stopping autocapture!!!"_s);
    AutoCapture->setChecked(false);
}
