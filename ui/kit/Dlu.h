// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QRect>

// Layouts are given in dialog units of the dialog font: a horizontal unit is a quarter of the
// font's average character width, a vertical one an eighth of its height. They follow the font
// actually drawn, so a layout keeps its proportions whatever the face and the resolution.

/// Tahoma at `points` (8, the dialogs' own size, by default) as the screen's resolution sizes it,
/// in whole pixels as dialogs have it.
QFont DialogFont(int points = 8);
/// Makes the faces the layouts are measured for available and the dialog font the application's
/// font, so that message boxes and common dialogs match the pages. Before the first window;
/// returns the faces that are missing (their layouts then follow a substitute's metrics).
QStringList PrepareDialogFonts();

/// `font` in bold, in a face that draws bold visibly heavier. Wine's Tahoma Bold, the face the
/// layouts are measured with, only spaces its letters wider; there the bold of DejaVu Sans,
/// which has the same proportions, stands in.
QFont BoldFont(const QFont& font);

/// The dialog font's average character width and height in pixels (6 x 13 for Tahoma 8 at 96 dpi).
struct DialogBaseUnits
{
    int x;
    int y;
};
DialogBaseUnits BaseUnits();

inline int DluX(int x)
{
    return (x * BaseUnits().x + 2) / 4;
}
inline int DluY(int y)
{
    return (y * BaseUnits().y + 4) / 8;
}
inline QRect DluRect(int x, int y, int w, int h)
{
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}
