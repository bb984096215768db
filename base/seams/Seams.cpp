#include "base/seams/Seams.h"

#include "base/seams/BoxCascade.h"
#include "base/seams/FolderDialog.h"
#include "base/widgets/WindowStyles.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>

namespace seams {

namespace {

// A box of the program stays above its owner and above the windows that stay on top (the
// preview) while it is open; one that opens while others are shown goes beside them.
int runBox(QMessageBox &box)
{
    windowstyle::ActsAsModalDialog(&box);
    const BoxCascade cascade(&box);
    return box.exec();
}

// Texts may come from the network ("MSG:"): shown as they are, never as rich text with
// links or pictures.
void setPlainText(QMessageBox &box, const QString &text)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
}

void showMessageBox(QWidget *owner, const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, QString(), QMessageBox::Ok,
                    owner ? owner : QApplication::activeWindow());
    setPlainText(box, text);
    runBox(box);
}

// A box that another computer opened is its owner's dialog, above the program's own windows, but
// not above every window of the desktop: the person can always get to other programs past it.
// Nor does it block the program's own windows: whatever a peer sends, the main window stays in
// reach, to switch the server off.
void showPeerMessageBox(QWidget *owner, const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, QString(), QMessageBox::Ok, owner);
    setPlainText(box, text);
    const BoxCascade cascade(&box);
    box.setWindowModality(Qt::NonModal);
    QEventLoop untilClosed;
    QObject::connect(&box, &QDialog::finished, &untilClosed, &QEventLoop::quit);
    box.show();
    untilClosed.exec();
}

bool askYesNo(QWidget *owner, const QString &caption, const QString &question)
{
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No,
                    owner ? owner : QApplication::activeWindow());
    return runBox(box) == QMessageBox::Yes;
}

std::optional<QString> runSaveDialog(const SaveFileRequest &request)
{
    QFileDialog dialog(request.owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(request.filter);
    dialog.selectFile(request.proposedName);
    windowstyle::ActsAsModalDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> runFolderDialog(QWidget *owner, const QString &caption, const QString &startFolder)
{
    FolderDialog dialog(owner, caption, startFolder);
    return dialog.Choose();
}

} // namespace

Seam<void(QWidget *, const QString &, const QString &)> ShowMessage{showMessageBox};

Seam<void(QWidget *, const QString &, const QString &)> ShowPeerMessage{showPeerMessageBox};

Seam<bool(QWidget *, const QString &, const QString &)> AskYesNo{askYesNo};

Seam<QDateTime()> Now{[] { return QDateTime::currentDateTime(); }};

Seam<void(const QUrl &)> OpenUrl{[](const QUrl &url) { QDesktopServices::openUrl(url); }};

Seam<void(const QString &)> SetClipboardText{[](const QString &text) { QGuiApplication::clipboard()->setText(text); }};

Seam<QString()> ClipboardText{[] { return QGuiApplication::clipboard()->text(); }};

Seam<std::optional<QString>(const SaveFileRequest &)> GetSaveFileName{runSaveDialog};

Seam<std::optional<QString>(QWidget *, const QString &, const QString &)> GetExistingDirectory{runFolderDialog};

} // namespace seams
