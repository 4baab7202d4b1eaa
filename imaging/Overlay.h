// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QPainter>
#include <QPoint>
#include <QSize>

// The six stamp positions: 0 top left, 1 top centre, 2 top right, 3 bottom left,
// 4 bottom centre, 5 bottom right. Values outside 0..5 count as 0.

/// Horizontal alignment (0 near, 1 centre, 2 far) of a stamp position.
int HorizontalAlignOf(int position);
/// Vertical alignment (0 near, 2 far) of a stamp position.
int VerticalAlignOf(int position);

/// Top-left corner of a logo of `logo` pixels at `position` on a W x H picture, truncated toward zero.
QPoint LogoOrigin(int position, float W, float H, QSize logo);

/// Stamps `Text.Text` in `Text.Font`, filled with opaque `Text.Color` and outlined with
/// `Thumbs.StrokeColor` at alpha 180, at `Text.Position` of the W x H picture.
void StampText(QPainter& painter, float W, float H, const AppearancePart& appearance);

/// Draws the picture `Logo.Filename` at its own size and with its own transparency at
/// `Logo.Position`; a missing, undecodable or larger than 4096 x 4096 logo is skipped. The file
/// is read on every call.
void StampLogo(QPainter& painter, float W, float H, const AppearancePart& appearance);
