#pragma once

#include "ui_TFormSnapshotSettings.h"

#include <QPointer>
#include <QWidget>

// The snapshot settings window; "&Done" is its only way to close. Its controls
// are the live snapshot settings: the snapshot run reads them each time. While
// it is open it keeps its owner window disabled, as a modal dialog would.
class TFormSnapshotSettings : public QWidget, public Ui::TFormSnapshotSettings {
    Q_OBJECT

public:
    explicit TFormSnapshotSettings(QWidget *parent = nullptr);

    // The window disabled while this one is open.
    void SetOwnerWindow(QWidget *owner) { owner_ = owner; }

    void FormShow();
    // False, with the "Missing FTP Information" box, when the window must stay open.
    bool FormClose();
    void Button1Click();
    void Button2Click();
    void Edit_ManualFilenameKeyUp();
    void ManualFilenameClick();
    void CheckBox_FTPClick();
    void ScrollBar_MotionDetectionSensitivityChange();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ftpInformationMissing() const;
    bool createFolderAfterAsking(const QString &folder);
    void setOwnerEnabled(bool enabled);

    QPointer<QWidget> owner_;
};
