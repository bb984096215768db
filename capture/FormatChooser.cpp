#include "capture/FormatChooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

FormatChooser::FormatChooser(QWidget *owner, const QList<QSize> &sizes, QSize current)
    : QDialog(owner), sizeList_(new QComboBox(this)), sizes_(sizes)
{
    setWindowTitle(QStringLiteral("Video Format"));
    sizeList_->setObjectName(QStringLiteral("SizeList"));
    for (QSize size : sizes)
        sizeList_->addItem(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()));
    sizeList_->setCurrentIndex(static_cast<int>(sizes.indexOf(current)));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Image size:"), sizeList_);
    layout->addRow(buttons);
}

QSize FormatChooser::chosenSize() const
{
    const int index = sizeList_->currentIndex();
    return index >= 0 && index < sizes_.size() ? sizes_.at(index) : QSize();
}
