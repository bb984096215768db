#pragma once

#include "server/ShareLinks.h"
#include "ui_TFormShare.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

// "Share": makes links that let whoever has one watch without a password, shows a new one
// with a QR code to scan with a phone (only while the window is open: only a fingerprint of
// it is kept), lists the links with their expiry, and revokes the chosen one. While it is
// open its owner is disabled, as under a modal dialog.
class TFormShare : public QDialog, public Ui::TFormShare {
    Q_OBJECT

public:
    explicit TFormShare(QWidget *parent = nullptr);

    void SetOwnerWindow(QWidget *owner) { owner_ = owner; }

    // The links to list.
    void ShowLinks(const std::vector<ShareLink> &links);
    // Shown under the link: why links do not matter yet, or nothing.
    void SetNotice(const QString &notice) { notice_ = notice; }

    // Makes a link for the chosen time and whether recordings are in it; the address to give,
    // or none with the reason in the second value.
    std::function<std::pair<QString, QString>(ShareLinks::Lifetime lifetime, bool mayWatchRecordings)> OnMake;
    std::function<void(const QString &id)> OnRevoke;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void makeLink();
    void revokeChosen();
    void setOwnerEnabled(bool enabled);

    QPointer<QWidget> owner_;
    QString notice_;
};
