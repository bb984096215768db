#pragma once

#include "base/seams/Seam.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

// The program's contact points with the person and the desktop. Each has one
// production implementation; tests install their own answers.
namespace seams {

// A message box with only an OK button. Returns once the box is closed.
extern Seam<void(QWidget *owner, const QString &caption, const QString &text)> ShowMessage;

// The same box for a message another computer sent: it stays above the owner's
// windows only, not above the windows of other programs, and leaves them usable.
extern Seam<void(QWidget *owner, const QString &caption, const QString &text)> ShowPeerMessage;

// A question with Yes and No buttons; true for Yes.
extern Seam<bool(QWidget *owner, const QString &caption, const QString &question)> AskYesNo;

// The local date and time; every time stamp, file name and chart label reads it.
extern Seam<QDateTime()> Now;

// Asks the desktop to open the URL in the default browser. Reports nothing.
extern Seam<void(const QUrl &url)> OpenUrl;

// Plain text on the clipboard.
extern Seam<void(const QString &text)> SetClipboardText;
extern Seam<QString()> ClipboardText;

struct SaveFileRequest {
    QWidget *owner = nullptr;
    QString proposedName;
    QString filter;
};
// A file-save dialog without an overwrite question; empty when cancelled.
extern Seam<std::optional<QString>(const SaveFileRequest &request)> GetSaveFileName;

// A folder chooser starting at the given folder; empty when cancelled.
extern Seam<std::optional<QString>(QWidget *owner, const QString &caption, const QString &startFolder)>
    GetExistingDirectory;

} // namespace seams
