// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QRectF>

/// A gradient over `rect` running from its upper-right corner (`from`) to its lower-left corner
/// (`to`), with the other two corners halfway, as a backward-diagonal brush has it.
QLinearGradient BackwardDiagonalGradient(const QRectF& rect, const QColor& from, const QColor& to);
