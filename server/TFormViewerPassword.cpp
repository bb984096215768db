#include "server/TFormViewerPassword.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/widgets/WindowStyles.h"
#include "server/PasswordHash.h"

#include <QShowEvent>

TFormViewerPassword::TFormViewerPassword(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    const QSize size = sizeHint();
    windowstyle::DialogWithCloseBox(this, size.width(), size.height());
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);
    connect(ButtonOK, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(ButtonCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
}

void TFormViewerPassword::SetCredentials(const QString &user, const QString &passwordHash)
{
    user_ = user;
    passwordHash_ = passwordHash;
}

QString TFormViewerPassword::StandIn() { return QString(8, QChar(0x2022)); }

void TFormViewerPassword::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, owner_);
    Edit_ViewerUser->setText(user_);
    Edit_ViewerPassword->setText(passwordHash_.isEmpty() ? QString() : StandIn());
    (user_.isEmpty() ? Edit_ViewerUser : Edit_ViewerPassword)->setFocus();
    setOwnerEnabled(false);
}

void TFormViewerPassword::done(int result)
{
    if (result == QDialog::Accepted) {
        const QString typed = Edit_ViewerPassword->text();
        const bool kept = typed == StandIn() && !passwordHash_.isEmpty();
        SetCredentials(Edit_ViewerUser->text(), kept              ? passwordHash_
                                                : typed.isEmpty() ? QString()
                                                                  : passwordhash::Make(typed));
    }
    // The fields do not keep a password the user walked away from.
    Edit_ViewerPassword->clear();
    QDialog::done(result);
    setOwnerEnabled(true);
    if (result == QDialog::Accepted && OnChosen)
        OnChosen();
}

void TFormViewerPassword::setOwnerEnabled(bool enabled)
{
    if (owner_)
        owner_->setEnabled(enabled);
}
