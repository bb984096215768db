#include "base/widgets/DialogsOnTop.h"

#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace dialogsontop {

namespace {

class Keeper : public QObject {
public:
    explicit Keeper(QObject *application) : QObject(application)
    {
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &Keeper::focusMoved);
    }

    void keep(QWidget *dialog)
    {
        dialogs_.removeAll(nullptr);
        dialogs_.removeAll(dialog);
        dialogs_.append(dialog);
    }

private:
    // Another window that stays on top came forward: the open dialogs go above it again, and
    // the last of them takes the focus back, so that the next click on that window brings it
    // forward again and is seen here.
    void focusMoved(const QWindow *focus)
    {
        if (!focus || !focus->flags().testFlag(Qt::WindowStaysOnTopHint))
            return;
        QWidget *last = nullptr;
        for (const QPointer<QWidget> &dialog : dialogs_) {
            if (dialog && dialog->windowHandle() == focus)
                return;
            if (dialog && dialog->isVisible())
                last = dialog;
        }
        for (const QPointer<QWidget> &dialog : dialogs_) {
            if (dialog && dialog->isVisible())
                dialog->raise();
        }
        if (last)
            last->activateWindow();
    }

    QList<QPointer<QWidget>> dialogs_;
};

} // namespace

void Keep(QWidget *dialog)
{
    static QPointer<Keeper> keeper;
    if (!qGuiApp)
        return;
    if (!keeper)
        keeper = new Keeper(qGuiApp);
    keeper->keep(dialog);
}

} // namespace dialogsontop
