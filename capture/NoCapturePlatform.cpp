#include "capture/NoCapturePlatform.h"

#include <QWidget>

QWidget *NoCapturePlatform::createCaptureWindow(QWidget *parent, const QString &title, const QRect &geometry)
{
    auto *window = new QWidget(parent);
    window->setObjectName(QStringLiteral("CaptureWindow"));
    window->setWindowTitle(title);
    window->setGeometry(geometry);
    window->setAutoFillBackground(true);
    window->setPalette(QPalette(Qt::black));
    window->show();
    return window;
}
