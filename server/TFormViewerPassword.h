#pragma once

#include "ui_TFormViewerPassword.h"

#include <QDialog>
#include <QPointer>

#include <functional>

// "Viewer Password": the user name and password a viewer must give, or an empty password for
// none. OK puts what the fields hold in force; Cancel (or Escape, or the close box) leaves the
// one in force as it was. While it is open its owner is disabled, as under a modal dialog.
// The password is kept only as its hash: with one set, the field shows a stand-in, and left
// as it is, it keeps the password in force.
class TFormViewerPassword : public QDialog, public Ui::TFormViewerPassword {
    Q_OBJECT

public:
    explicit TFormViewerPassword(QWidget *parent = nullptr);

    // The window disabled while this one is open.
    void SetOwnerWindow(QWidget *owner) { owner_ = owner; }

    // The user name and the password's hash line in force (empty: no password); the fields
    // show them whenever the window opens.
    void SetCredentials(const QString &user, const QString &passwordHash);
    QString User() const { return user_; }
    QString PasswordHash() const { return passwordHash_; }
    // What the password field shows while a password is set and left untouched.
    static QString StandIn();

    // Called once OK has put the fields' user name and password in force.
    std::function<void()> OnChosen;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setOwnerEnabled(bool enabled);

    QPointer<QWidget> owner_;
    QString user_;
    QString passwordHash_;
};
