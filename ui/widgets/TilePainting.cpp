// SPDX-License-Identifier: MIT
#include "ui/widgets/TilePainting.h"

#include <QFont>
#include <QPainter>

QLinearGradient BackwardDiagonalGradient(const QRectF& rect, const QColor& from, const QColor& to)
{
    // The gradient line is perpendicular to the other diagonal, so that the upper-left and the
    // lower-right corners land on the same colour whatever the proportions of the rectangle.
    const qreal w = rect.width();
    const qreal h = rect.height();
    const qreal lengthSquared = w * w + h * h;
    const QPointF centre = rect.center();
    const QPointF half = lengthSquared > 0 ? QPointF(h, -w) * (w * h / lengthSquared) : QPointF();
    QLinearGradient gradient(centre + half, centre - half);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

void FillGradientBox(QPainter& painter, const QRectF& box, const QRectF& gradientRect)
{
    painter.fillRect(box,
        BackwardDiagonalGradient(gradientRect, QColor::fromRgba(0xFFFFFFFF), QColor::fromRgba(0xFFD2D2D2)));
}

void DrawNotSupported(QPainter& painter, const QRectF& rect)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(12);
    font.setBold(true);
    painter.save();
    painter.setFont(font);
    painter.setPen(QPen(
        QBrush(BackwardDiagonalGradient(rect, QColor::fromRgba(0x82FF0000), QColor::fromRgba(0xFF000000))),
        0));
    painter.drawText(rect, Qt::AlignCenter, QStringLiteral("Not supported format"));
    painter.restore();
}

QSizeF FitWithin(const QSizeF& picture, const QSizeF& box)
{
    const qreal w = picture.width();
    const qreal h = picture.height();
    if (w <= 0 || h <= 0 || box.width() <= 0 || box.height() <= 0)
        return picture;
    if (w / h > box.width() / box.height()) {
        if (w > box.width())
            return QSizeF(box.width(), h * box.width() / w);
    } else if (h > box.height()) {
        return QSizeF(w * box.height() / h, box.height());
    }
    return picture;
}
