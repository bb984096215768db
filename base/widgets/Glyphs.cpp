#include "base/widgets/Glyphs.h"

#include <QPainter>
#include <QPixmap>

namespace glyphs {

QIcon Camera()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(QColor(90, 90, 90));
    painter.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
    painter.drawRect(QRectF(4.5, 2.5, 4, 2));
    painter.setBrush(QColor(150, 200, 255));
    painter.drawEllipse(QPointF(8, 9), 3, 3);
    return QIcon(pixmap);
}

} // namespace glyphs
