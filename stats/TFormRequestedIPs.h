#pragma once

#include "ui_TFormRequestedIPs.h"

#include <QWidget>

// The table of the last ten addresses that sent requests.
class TFormRequestedIPs : public QWidget, public Ui::TFormRequestedIPs {
    Q_OBJECT

public:
    explicit TFormRequestedIPs(QWidget *parent = nullptr);
};
