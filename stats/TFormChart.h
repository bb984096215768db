#pragma once

#include "ui_TFormChart.h"

#include <QWidget>

// The request chart window.
class TFormChart : public QWidget, public Ui::TFormChart {
    Q_OBJECT

public:
    explicit TFormChart(QWidget *parent = nullptr);
};
