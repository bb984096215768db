#pragma once

#include "net/SocketTypes.h"
#include "ui_TFormPublish.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QComboBox;
class TClientSocket;
class TCustomWinSocket;
class TFormManualIP;

// The "Publish Control Panel": announces one of the camera's URLs, a display name and a
// description to the public webcam directory with one HTTP POST, then closes. While it is
// open the main window is disabled, as under a modal dialog.
class TFormPublish : public QWidget, public Ui::TFormPublish {
    Q_OBJECT

public:
    explicit TFormPublish(QWidget *parent = nullptr);
    ~TFormPublish() override;

    // The main window, disabled while this one is open, and its list of the camera's URLs.
    void SetMainWindow(QWidget *window, const QComboBox *urlList);
    void SetManualIPWindow(TFormManualIP *window);
    // Where this window's event log lines go.
    void SetEventLog(std::function<void(const QString &)> addToLog) { addToLog_ = std::move(addToLog); }

    void FormShow();
    void FormContentChange();
    void Button_PublishClick();
    void ClientSocketConnect(QObject *Sender, TCustomWinSocket *Socket);
    void ClientSocketRead(QObject *Sender, TCustomWinSocket *Socket);
    void ClientSocketDisconnect(QObject *Sender, TCustomWinSocket *Socket);
    void ClientSocketError(QObject *Sender, TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode);
    void Button_CloseClick();
    void FormClose();
    void Button3Click();
    void Button_ManualIPClick();

    TClientSocket *ClientSocket = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createClientSocket();
    QByteArray requestBody() const;
    void setMainWindowEnabled(bool enabled);
    void addToLog(const QString &line) const;

    QPointer<QWidget> mainWindow_;
    QPointer<const QComboBox> mainUrlList_;
    QPointer<TFormManualIP> manualIP_;
    std::function<void(const QString &)> addToLog_;
    bool mainWindowDisabled_ = false;
};
