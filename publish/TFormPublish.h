#pragma once

#include "ui_TFormPublish.h"

#include <QWidget>

// The window that announces the camera to the public webcam directory.
class TFormPublish : public QWidget, public Ui::TFormPublish {
    Q_OBJECT

public:
    explicit TFormPublish(QWidget *parent = nullptr);
};
