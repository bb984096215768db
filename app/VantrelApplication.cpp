#include "app/VantrelApplication.h"

#include "base/seams/ExceptionDisplay.h"

VantrelApplication::VantrelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

// The last line of defence: handlers connected through Guarded never get here,
// but timer and socket events delivered straight to an object do.
bool VantrelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}
