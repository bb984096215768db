#include "server/TFormShare.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"
#include "server/QrPicture.h"

#include <QHeaderView>
#include <QPixmap>
#include <QShowEvent>

namespace {

constexpr int QrModulePixels = 4;

QString shownTime(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString();
}

} // namespace

TFormShare::TFormShare(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    LabelQr->setMinimumSize(200, 200);
    const QSize size = sizeHint();
    windowstyle::DialogWithCloseBox(this, size.width(), size.height());
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);
    ListLinks->header()->setStretchLastSection(false);
    for (int column = 0; column < ListLinks->columnCount(); ++column)
        ListLinks->header()->setSectionResizeMode(column,
                                                  column == 2 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    connect(ButtonClose, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(ButtonMake, &QPushButton::clicked, this, Guarded([this] { makeLink(); }));
    connect(ButtonRevoke, &QPushButton::clicked, this, Guarded([this] { revokeChosen(); }));
    connect(ButtonCopy, &QPushButton::clicked, this, Guarded([this] {
                if (!Edit_Link->text().isEmpty())
                    seams::SetClipboardText(Edit_Link->text());
            }));
    connect(ListLinks, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { ButtonRevoke->setEnabled(item != nullptr); });
}

void TFormShare::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, owner_);
    Edit_Link->clear();
    LabelQr->clear();
    LabelNote->setText(notice_);
    ButtonCopy->setEnabled(false);
    setOwnerEnabled(false);
}

void TFormShare::ShowLinks(const std::vector<ShareLink> &links)
{
    ListLinks->clear();
    for (const ShareLink &link : links) {
        auto *item = new QTreeWidgetItem(QStringList{
            link.id, shownTime(link.made), link.expires.isValid() ? shownTime(link.expires) : tr("when revoked"),
            link.mayWatchRecordings ? tr("yes") : tr("no")});
        item->setData(0, Qt::UserRole, link.id);
        ListLinks->addTopLevelItem(item);
    }
    ButtonRevoke->setEnabled(ListLinks->currentItem() != nullptr);
}

void TFormShare::makeLink()
{
    if (!OnMake)
        return;
    const auto lifetime = static_cast<ShareLinks::Lifetime>(ComboBox_Lifetime->currentIndex());
    const auto [address, failure] = OnMake(lifetime, CheckBox_Recordings->isChecked());
    Edit_Link->setText(address);
    ButtonCopy->setEnabled(!address.isEmpty());
    const QImage code = address.isEmpty() ? QImage() : QrPicture(address, QrModulePixels);
    LabelQr->setPixmap(code.isNull() ? QPixmap() : QPixmap::fromImage(code));
    LabelNote->setText(address.isEmpty() ? failure
                                         : tr("Copy the link or scan the code now: Vantrel keeps only a fingerprint "
                                              "of it and cannot show it again.") +
                                               (notice_.isEmpty() ? QString() : u' ' + notice_));
}

void TFormShare::revokeChosen()
{
    const QTreeWidgetItem *item = ListLinks->currentItem();
    if (item && OnRevoke)
        OnRevoke(item->data(0, Qt::UserRole).toString());
}

void TFormShare::done(int result)
{
    // The link goes with the window: it is not shown again.
    Edit_Link->clear();
    LabelQr->clear();
    QDialog::done(result);
    setOwnerEnabled(true);
}

void TFormShare::setOwnerEnabled(bool enabled)
{
    if (owner_)
        owner_->setEnabled(enabled);
}
