#pragma once

#include "server/ViewerAccount.h"
#include "ui_TFormViewers.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// "Viewers": the people who may watch, each with a name, a password and what they may see;
// with none, everyone may watch. The fields below the list edit the viewer chosen in it (or,
// with none listed, the first one). OK puts the list in force; Cancel (or Escape, or the close
// box) leaves the one in force as it was. While it is open its owner is disabled, as under a
// modal dialog. Passwords are kept only as their hashes: a viewer with one shows a stand-in,
// and left as it is, it keeps the password in force; an empty password removes the viewer.
class TFormViewers : public QDialog, public Ui::TFormViewers {
    Q_OBJECT

public:
    explicit TFormViewers(QWidget *parent = nullptr);

    // The window disabled while this one is open.
    void SetOwnerWindow(QWidget *owner) { owner_ = owner; }

    // The viewers in force; the list shows them whenever the window opens.
    void SetAccounts(std::vector<ViewerAccount> accounts) { accounts_ = std::move(accounts); }
    const std::vector<ViewerAccount> &Accounts() const { return accounts_; }
    // The viewers whose password is kept for recorders.
    void SetRecorderNames(QStringList names) { recorderNames_ = std::move(names); }
    // The passwords typed for viewers recorders log in as, once; OK is the only time they are had.
    std::map<QString, QByteArray> TakeRecorderPasswords() { return std::exchange(recorderPasswords_, {}); }
    // What the password field shows while a password is set and left untouched.
    static QString StandIn();

    // Called once OK has put the list in force.
    std::function<void()> OnChosen;
    // Called by "Share...".
    std::function<void()> OnShare;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Row {
        ViewerAccount account;
        std::optional<QString> typedPassword; // none: the hash is kept
    };

    static QStringList columnsOf(const ViewerAccount &account);
    void fillList();
    void showFields();
    void takeFields();
    void choose(int row);
    void addViewer();
    void removeViewer();
    // The list as it would be put in force; none, with the reason shown, when it cannot be.
    std::optional<std::vector<ViewerAccount>> chosenAccounts();
    void setOwnerEnabled(bool enabled);

    QPointer<QWidget> owner_;
    std::vector<ViewerAccount> accounts_;
    std::vector<Row> rows_;
    int current_ = -1;
    QStringList recorderNames_;
    std::map<QString, QByteArray> recorderPasswords_;
    bool filling_ = false;
};
