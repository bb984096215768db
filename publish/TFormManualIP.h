#pragma once

#include "ui_TFormManualIP.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QSpinBox;

// "Enter IP Address": the user types the camera's public IPv4 address, and its URL with the
// server's port is added to the publish window's list. While it is open the publish window
// is disabled, as under a modal dialog.
class TFormManualIP : public QWidget, public Ui::TFormManualIP {
    Q_OBJECT

public:
    explicit TFormManualIP(QWidget *parent = nullptr);

    // The publish window and its URL list, and the spin box with the server's port.
    void SetPublishWindow(QWidget *window, QComboBox *urlList, const QSpinBox *serverPort);

    void FormShow();
    void Button1Click();
    void Button2Click();
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // From now on Escape brings back what the field holds now.
    void beginEditing();
    void focusLeftField();
    // True when the field holds an address this editing may end with; otherwise says so and
    // keeps the focus in the field.
    bool acceptEditing();

    QPointer<QWidget> publishWindow_;
    QPointer<QComboBox> publishUrls_;
    QPointer<const QSpinBox> serverPort_;
    QString textBeforeEditing_;
};
