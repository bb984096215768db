#pragma once

#include "ui_TFormPreview.h"

#include <QWidget>

// The always-on-top window that holds the capture window with the live picture.
class TFormPreview : public QWidget, public Ui::TFormPreview {
    Q_OBJECT

public:
    explicit TFormPreview(QWidget *parent = nullptr);
};
