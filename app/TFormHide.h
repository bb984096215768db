#pragma once

#include "ui_TFormHide.h"

#include <QWidget>

// Stands in for the main window while it is hidden; its one button brings it back.
class TFormHide : public QWidget, public Ui::TFormHide {
    Q_OBJECT

public:
    explicit TFormHide(QWidget *parent = nullptr);

    void Button1Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showMainWindow();
};
