#include "ui/device/LockMark.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

void paintLockMark(QPainter& painter, const QRectF& rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour(40, 40, 40);
    const double w = rect.width();
    const double h = rect.height();
    // A light backing keeps the mark readable on the green and red outlet circles.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawRoundedRect(rect.adjusted(-1, -1, 1, 1), 2, 2);
    // The shackle over the upper half, the body below it.
    const QRectF shackle(rect.left() + w * 0.25, rect.top(), w * 0.5, h * 0.6);
    painter.setPen(QPen(colour, qMax(1.0, w * 0.12)));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(shackle, 0, 180 * 16);
    painter.drawLine(QPointF(shackle.left(), shackle.center().y()),
                     QPointF(shackle.left(), rect.top() + h * 0.5));
    painter.drawLine(QPointF(shackle.right(), shackle.center().y()),
                     QPointF(shackle.right(), rect.top() + h * 0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(rect.left() + w * 0.1, rect.top() + h * 0.45, w * 0.8, h * 0.55), 1.5,
                            1.5);
    painter.restore();
}

QIcon lockMarkIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintLockMark(painter, QRectF(2, 1, 12, 14));
    painter.end();
    return QIcon(pixmap);
}
