#include "publish/TFormManualIP.h"

#include "base/AppInfo.h"
#include "base/seams/ExceptionDisplay.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {

// The field shows each group with three digits, but a browser reads a group with a leading
// zero as octal (024 is 20): the URL carries each group as a plain decimal number.
QString withoutLeadingZeros(const QString &address)
{
    QStringList groups = address.split(u'.');
    for (QString &group : groups) {
        const qsizetype zeros = group.size() - 1;
        qsizetype leading = 0;
        while (leading < zeros && group[leading] == u'0')
            ++leading;
        group.remove(0, leading);
    }
    return groups.join(u'.');
}

} // namespace

TFormManualIP::TFormManualIP(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::FixedWithoutButtons(this, 132, 59);
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);
    MaskEditIP->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MaskEditIP->installEventFilter(this);
    ConnectGuarded(Button1, &QPushButton::clicked, this, &TFormManualIP::Button1Click);
    ConnectGuarded(Button2, &QPushButton::clicked, this, &TFormManualIP::Button2Click);
}

void TFormManualIP::SetPublishWindow(QWidget *window, QComboBox *urlList, const QSpinBox *serverPort)
{
    publishWindow_ = window;
    publishUrls_ = urlList;
    serverPort_ = serverPort;
}

void TFormManualIP::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, publishWindow_);
    FormShow();
}

void TFormManualIP::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

// The address field keeps its text until it is complete: moving to another control of this
// window with a half-typed address brings the focus back with a message, and Escape restores
// what the field held when this editing began.
bool TFormManualIP::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MaskEditIP) {
        if (event->type() == QEvent::FocusIn && !MaskEditIP->isModified()) {
            beginEditing();
        } else if (event->type() == QEvent::FocusOut) {
            focusLeftField();
        } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            MaskEditIP->setText(textBeforeEditing_);
            MaskEditIP->setModified(false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormManualIP::beginEditing()
{
    textBeforeEditing_ = MaskEditIP->text();
    MaskEditIP->setModified(false);
}

// Another application taking the focus, or the window closing, is no move within the window:
// the half-typed text waits. A complete address ends this editing.
void TFormManualIP::focusLeftField()
{
    const QWidget *next = QApplication::focusWidget();
    if (!next || next == MaskEditIP || next->window() != this || !isVisible())
        return;
    acceptEditing();
}

bool TFormManualIP::acceptEditing()
{
    if (!MaskEditIP->isModified())
        return true;
    if (MaskEditIP->hasAcceptableInput()) {
        beginEditing();
        return true;
    }
    seams::ShowMessage(this, AppTitle, u"Invalid input value.  Use escape key to abandon changes"_s);
    MaskEditIP->setFocus();
    return false;
}

// OK is the default button: Enter in the field confirms the address as a click on OK would,
// a half-typed one refused as when the focus leaves the field.
void TFormManualIP::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!MaskEditIP->hasFocus() || acceptEditing())
        Button1->click();
}

void TFormManualIP::FormShow()
{
    beginEditing();
    // Typing starts over the first group, whatever the field holds.
    MaskEditIP->setFocus();
    MaskEditIP->setCursorPosition(0);
    if (publishWindow_)
        publishWindow_->setEnabled(false);
}

void TFormManualIP::Button1Click()
{
    const int port = serverPort_ ? serverPort_->value() : 8282;
    const QString url = u"http://"_s + withoutLeadingZeros(MaskEditIP->text()) + u':' + QString::number(port) + u'/';
    if (publishUrls_) {
        // Added at the end and left unselected: the user picks it.
        const int selected = publishUrls_->currentIndex();
        publishUrls_->addItem(url);
        publishUrls_->setCurrentIndex(selected);
    }
    seams::ShowMessage(this, u"Reminder"_s,
                       u"Your entry has been added to the IP List.\nSelect it and you may now publish."_s);
    close();
}

void TFormManualIP::Button2Click() { close(); }

void TFormManualIP::FormClose()
{
    if (publishWindow_)
        publishWindow_->setEnabled(true);
}
