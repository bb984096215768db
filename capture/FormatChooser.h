#pragma once

#include <QDialog>
#include <QSize>

class QComboBox;

// The "Video Format" chooser: the picture sizes a source offers, the current
// one selected. Modal; the caller reads the choice after it was accepted.
class FormatChooser : public QDialog {
    Q_OBJECT

public:
    FormatChooser(QWidget *owner, const QList<QSize> &sizes, QSize current);

    QSize chosenSize() const;

private:
    QComboBox *sizeList_;
    QList<QSize> sizes_;
};
