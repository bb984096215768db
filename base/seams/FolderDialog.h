#pragma once

#include <QFileDialog>

#include <optional>

class QAbstractButton;
class QLineEdit;

// Qt's own folder chooser, which also takes the typed name of a folder that does not exist
// yet (the stock chooser greys out "Choose" for it and refuses it with "Directory not
// found"). Creating the folder is left to the caller, which asks the user first.
class FolderDialog : public QFileDialog {
    Q_OBJECT

public:
    FolderDialog(QWidget *owner, const QString &caption, const QString &startFolder);

    // Runs the dialog; the chosen folder, or nothing when cancelled.
    std::optional<QString> Choose();

protected:
    void accept() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // True when the name field holds the name of something that does not exist.
    bool NewFolderTyped() const;

    QLineEdit *nameEdit_ = nullptr;
    QAbstractButton *chooseButton_ = nullptr;
    QString newFolder_;
};
