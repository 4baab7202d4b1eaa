// SPDX-License-Identifier: MIT
#include "imaging/Gradients.h"

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
