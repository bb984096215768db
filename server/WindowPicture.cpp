#include "server/WindowPicture.h"

#include "capture/JpegEncoder.h"

#include <QLayout>
#include <QMainWindow>
#include <QPainter>
#include <QWidget>

namespace windowpicture {
namespace {

QWidget *clientWidget(QWidget *window)
{
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->centralWidget())
        return main->centralWidget();
    return window;
}

// A window that has never been shown has not been laid out yet; do it now so the
// picture shows the controls where they will be.
void layOut(QWidget *window)
{
    window->ensurePolished();
    if (window->isVisible())
        return;
    if (QLayout *layout = window->layout())
        layout->activate();
    for (QLayout *inner : window->findChildren<QLayout *>())
        inner->activate();
}

} // namespace

QImage ClientArea(QWidget *window)
{
    layOut(window);
    QWidget *client = clientWidget(window);
    QImage picture(client->size(), QImage::Format_RGB32);
    picture.fill(client->palette().color(client->backgroundRole()));
    QPainter painter(&picture);
    client->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture;
}

QByteArray ClientAreaJpeg(QWidget *window) { return EncodeJpeg(ClientArea(window), Quality).value_or(QByteArray()); }

} // namespace windowpicture
