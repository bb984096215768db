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

TFormManualIP::TFormManualIP(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::FixedWithoutButtons(this, 132, 59);
    windowstyle::CentreOnScreen(this);
    MaskEditIP->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MaskEditIP->installEventFilter(this);
    onSignal(Button1, &QPushButton::clicked, &TFormManualIP::Button1Click);
    onSignal(Button2, &QPushButton::clicked, &TFormManualIP::Button2Click);
}

template <typename Sender, typename Signal>
void TFormManualIP::onSignal(Sender *sender, Signal signal, void (TFormManualIP::*handler)())
{
    connect(sender, signal, this, Guarded([this, handler] { (this->*handler)(); }));
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
    if (!event->spontaneous())
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
    if (!MaskEditIP->isModified())
        return;
    if (MaskEditIP->hasAcceptableInput()) {
        beginEditing();
        return;
    }
    seams::ShowMessage(this, AppTitle, u"Invalid input value.  Use escape key to abandon changes"_s);
    MaskEditIP->setFocus();
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
    const QString url = u"http://"_s + MaskEditIP->text() + u':' + QString::number(port) + u'/';
    if (publishUrls_) {
        // Added at the end and left unselected: the user picks it.
        const int selected = publishUrls_->currentIndex();
        publishUrls_->addItem(url);
        publishUrls_->setCurrentIndex(selected);
    }
    seams::ShowMessage(this, u"Reminder"_s, u"Your entry has been added to the IP List.\nSelect it and you may now publish."_s);
    close();
}

void TFormManualIP::Button2Click() { close(); }

void TFormManualIP::FormClose()
{
    if (publishWindow_)
        publishWindow_->setEnabled(true);
}
