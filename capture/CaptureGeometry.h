// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

/// The part of a window that a capture copies.
struct CaptureArea
{
    QPoint sourceOffset; ///< where the copy starts inside the window
    QRect screenRect; ///< the copied pixels in screen coordinates; its size is the picture's size

    bool operator==(const CaptureArea&) const = default;
};

/// Clips `window` (screen coordinates) to a screen of `screen` size with its origin at (0, 0).
/// Edges beyond the right or bottom of the screen are cut; a negative left or top edge moves to 0
/// and becomes the source offset. Nothing when the remaining width or height is 0 or less, which
/// is the case for an empty window and for one that lies wholly off the screen (minimised).
std::optional<CaptureArea> ClipToScreen(const QRect& window, const QSize& screen);

/// The window an active-window capture takes. The active window itself, unless it is one of the
/// program's own (the hidden screenshot dialog or wizard can still be active when the window
/// manager has not moved on yet): then the topmost window of `stacking` (bottom to top) that is
/// neither the program's own nor hidden. 0 when there is none.
quint64 CaptureTarget(quint64 active, const std::vector<quint64>& stacking,
    const std::function<bool(quint64)>& isOwn, const std::function<bool(quint64)>& isShown);
