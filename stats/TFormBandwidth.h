#pragma once

#include "ui_TFormBandwidth.h"

#include <QWidget>

// The window with the last and total response sizes.
class TFormBandwidth : public QWidget, public Ui::TFormBandwidth {
    Q_OBJECT

public:
    explicit TFormBandwidth(QWidget *parent = nullptr);
};
