#include "base/seams/FolderDialog.h"

#include "base/widgets/WindowStyles.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>

FolderDialog::FolderDialog(QWidget *owner, const QString &caption, const QString &startFolder)
    : QFileDialog(owner, caption, startFolder)
{
    setFileMode(QFileDialog::Directory);
    // A desktop's own dialog would not hand the typed name of a missing folder back.
    setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    windowstyle::ActsAsModalDialog(this);
    nameEdit_ = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (const auto *buttons = findChild<QDialogButtonBox *>()) {
        for (QAbstractButton *button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                chooseButton_ = button;
        }
    }
    // Qt greys "Choose" out whenever the name is not an existing folder; a new one may be chosen.
    if (nameEdit_ && chooseButton_)
        chooseButton_->installEventFilter(this);
}

std::optional<QString> FolderDialog::Choose()
{
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    if (!newFolder_.isEmpty())
        return newFolder_;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.constFirst();
}

void FolderDialog::accept()
{
    if (NewFolderTyped()) {
        newFolder_ = selectedFiles().constFirst();
        QDialog::accept();
        return;
    }
    newFolder_.clear();
    QFileDialog::accept();
}

bool FolderDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == chooseButton_ && event->type() == QEvent::EnabledChange && !chooseButton_->isEnabled() &&
        NewFolderTyped())
        chooseButton_->setEnabled(true);
    return QFileDialog::eventFilter(watched, event);
}

bool FolderDialog::NewFolderTyped() const
{
    if (!nameEdit_ || nameEdit_->text().trimmed().isEmpty())
        return false;
    const QStringList chosen = selectedFiles();
    return chosen.size() == 1 && !QFileInfo::exists(chosen.constFirst());
}
