#pragma once

#include "ui_TFormManualIP.h"

#include <QWidget>

// The small window in which the user types the camera's public address.
class TFormManualIP : public QWidget, public Ui::TFormManualIP {
    Q_OBJECT

public:
    explicit TFormManualIP(QWidget *parent = nullptr);
};
