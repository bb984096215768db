#pragma once

#include "ui_TFormPreview.h"

#include <QWidget>

// The always-on-top window that holds the capture window with the live picture.
class TFormPreview : public QWidget, public Ui::TFormPreview {
    Q_OBJECT

public:
    explicit TFormPreview(QWidget *parent = nullptr);

signals:
    // The person closed the preview, which ends the program.
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int PlacementSettles = 1000; // ms
    bool keepAtCorner_ = false;
};
