// SPDX-License-Identifier: MIT
#include "ui/widgets/TilePainting.h"

#include "imaging/Gradients.h"

#include <QFont>
#include <QPainter>

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
