// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QRgb>
#include <QSizeF>
#include <QString>

/// Alignment numbers shared by the stamps and captions: 0 near, 1 centre, anything else far.
enum TextAlign : int { AlignNear = 0, AlignCenter = 1, AlignFar = 2 };

/// The box a single line of `text` takes in `font`, measured the way the original layout
/// engine did: one line spacing high, the advance wide plus a sixth of the em on each side.
QSizeF MeasureText(const QFont& font, const QString& text);

/// The size (tw, th) the outlined text occupies in the target: as high as `text` measures in
/// `font`, as wide as its large rendering scaled to that height.
QSizeF OutlinedTextSize(const QFont& font, const QString& text);

/// Draws `text` filled with `fill` inside a contour of `outline` (2 x `factor` pixels wide in
/// the result) into `layout`, aligned by `hAlign` / `vAlign` with a 2-pixel inset at the near
/// and far edges. The glyphs are built as a path at em 48 and scaled down smoothly, so small
/// text keeps a clean outline. Works on any QPainter over a QImage, on any thread.
void DrawOutlinedText(QPainter& target, const QString& text, const QRectF& layout, const QFont& font,
    QRgb fill, QRgb outline, int hAlign, int vAlign, float factor);
