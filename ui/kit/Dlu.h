// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

// Layouts are given in dialog units of an 8-point dialog font, whose base units at 96 dpi are
// 6 x 13 pixels: a horizontal unit is a quarter of the width, a vertical one an eighth of the height.

inline int DluX(int x)
{
    return (x * 6 + 2) / 4;
}
inline int DluY(int y)
{
    return (y * 13 + 4) / 8;
}

inline QRect DluRect(int x, int y, int w, int h)
{
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}
