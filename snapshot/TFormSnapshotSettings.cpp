#include "snapshot/TFormSnapshotSettings.h"

#include "base/seams/Exception.h"
#include "base/seams/ExceptionDisplay.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

TFormSnapshotSettings::TFormSnapshotSettings(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    windowstyle::SizeableWithoutButtons(this, 433, 359);
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);

    ConnectGuarded(Button1, &QPushButton::clicked, this, &TFormSnapshotSettings::Button1Click);
    ConnectGuarded(Button2, &QPushButton::clicked, this, &TFormSnapshotSettings::Button2Click);
    ConnectGuarded(ManualFilename, &QCheckBox::toggled, this, &TFormSnapshotSettings::ManualFilenameClick);
    ConnectGuarded(CheckBox_FTP, &QCheckBox::toggled, this, &TFormSnapshotSettings::CheckBox_FTPClick);
    ConnectGuarded(ScrollBar_MotionDetectionSensitivity, &QScrollBar::valueChanged, this,
                   &TFormSnapshotSettings::ScrollBar_MotionDetectionSensitivityChange);
    Edit_ManualFilename->installEventFilter(this);
}

void TFormSnapshotSettings::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, owner_);
    FormShow();
}

void TFormSnapshotSettings::closeEvent(QCloseEvent *event) { event->setAccepted(FormClose()); }

bool TFormSnapshotSettings::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit_ManualFilename && event->type() == QEvent::KeyRelease)
        Edit_ManualFilenameKeyUp();
    return QWidget::eventFilter(watched, event);
}

void TFormSnapshotSettings::FormShow()
{
    if (!Edit_ManualFilename->text().isEmpty())
        ManualFilename->setChecked(true);
    setOwnerEnabled(false);
}

bool TFormSnapshotSettings::FormClose()
{
    if (ftpInformationMissing()) {
        seams::ShowMessage(this, u"Error"_s, u"Missing FTP Information"_s);
        return false;
    }
    setOwnerEnabled(true);
    return true;
}

bool TFormSnapshotSettings::ftpInformationMissing() const
{
    if (!CheckBox_FTP->isChecked())
        return false;
    for (const QLineEdit *field : {Edit_FTPRemoteAddress, Edit_FTPRemoteDir, Edit_FTPUsername, Edit_FTPPassword}) {
        if (field->text().isEmpty())
            return true;
    }
    return false;
}

void TFormSnapshotSettings::setOwnerEnabled(bool enabled)
{
    if (owner_)
        owner_->setEnabled(enabled);
}

void TFormSnapshotSettings::Button1Click() { close(); }

void TFormSnapshotSettings::Button2Click()
{
    const std::optional<QString> chosen =
        seams::GetExistingDirectory(this, u"Select Directory"_s, Edit_LocalSaveDir->text());
    if (!chosen)
        return;
    if (!QFileInfo(*chosen).isDir() && !createFolderAfterAsking(*chosen))
        return;
    Edit_LocalSaveDir->setText(*chosen);
}

bool TFormSnapshotSettings::createFolderAfterAsking(const QString &folder)
{
    if (!seams::AskYesNo(this, u"Confirm"_s, u"The folder %1 does not exist. Create it?"_s.arg(folder)))
        return false;
    if (!QDir().mkpath(folder))
        throw Exception(u"Cannot create the folder %1"_s.arg(folder));
    return true;
}

void TFormSnapshotSettings::Edit_ManualFilenameKeyUp()
{
    ManualFilename->setChecked(!Edit_ManualFilename->text().isEmpty());
}

void TFormSnapshotSettings::ManualFilenameClick()
{
    if (!ManualFilename->isChecked())
        Edit_ManualFilename->clear();
}

// FTP settings are read when a snapshot is uploaded; switching them on needs nothing at once.
void TFormSnapshotSettings::CheckBox_FTPClick() {}

void TFormSnapshotSettings::ScrollBar_MotionDetectionSensitivityChange()
{
    Label_Sensitivity->setText(u"(%1%)"_s.arg(ScrollBar_MotionDetectionSensitivity->value()));
}
