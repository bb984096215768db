#include "server/TFormViewerPassword.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/widgets/WindowStyles.h"

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

void TFormViewerPassword::SetCredentials(const QString &user, const QString &password)
{
    user_ = user;
    password_ = password;
}

void TFormViewerPassword::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, owner_);
    Edit_ViewerUser->setText(user_);
    Edit_ViewerPassword->setText(password_);
    (user_.isEmpty() ? Edit_ViewerUser : Edit_ViewerPassword)->setFocus();
    setOwnerEnabled(false);
}

void TFormViewerPassword::done(int result)
{
    if (result == QDialog::Accepted)
        SetCredentials(Edit_ViewerUser->text(), Edit_ViewerPassword->text());
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
