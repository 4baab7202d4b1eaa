// SPDX-License-Identifier: MIT
#include "capture/CaptureGeometry.h"

#include <algorithm>
#include <climits>

std::optional<CaptureArea> ClipToScreen(const QRect& window, const QSize& screen)
{
    // Work on exclusive edges in 64 bits: QRect::right() is inclusive, and a hostile rectangle
    // near the int limits must not overflow.
    qint64 left = window.x();
    qint64 top = window.y();
    const qint64 right = std::min<qint64>(qint64(window.x()) + window.width(), screen.width());
    const qint64 bottom = std::min<qint64>(qint64(window.y()) + window.height(), screen.height());
    CaptureArea area;
    if (left < 0) {
        area.sourceOffset.setX(int(std::min<qint64>(-left, INT_MAX)));
        left = 0;
    }
    if (top < 0) {
        area.sourceOffset.setY(int(std::min<qint64>(-top, INT_MAX)));
        top = 0;
    }
    const qint64 width = right - left;
    const qint64 height = bottom - top;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    area.screenRect = QRect(int(left), int(top), int(width), int(height));
    return area;
}

quint64 CaptureTarget(quint64 active, const std::vector<quint64>& stacking,
    const std::function<bool(quint64)>& isOwn, const std::function<bool(quint64)>& isShown)
{
    if (active != 0 && !isOwn(active))
        return active;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        if (*it != 0 && !isOwn(*it) && isShown(*it))
            return *it;
    }
    return 0;
}
