#pragma once

#include "ui_TFormSnapshotSettings.h"

#include <QWidget>

// The snapshot settings window; "&Done" is its only way to close.
class TFormSnapshotSettings : public QWidget, public Ui::TFormSnapshotSettings {
    Q_OBJECT

public:
    explicit TFormSnapshotSettings(QWidget *parent = nullptr);
};
