#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is shown
// by the exception display, and the message loop goes on.
class VantrelApplication : public QApplication {
    Q_OBJECT

public:
    VantrelApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
