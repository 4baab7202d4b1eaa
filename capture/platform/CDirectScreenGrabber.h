// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CScreenGrabber.h"

#include <QRect>
#include <QtGlobal>

/// A native window id of the windowing system; 0 is none (the whole screen).
using NativeWindow = quint64;

/// What the windowing system says about the window the user works in.
struct ForegroundWindow
{
    /// False where the session cannot name a foreground window (no X11, no EWMH window manager);
    /// `reason` says why, and the whole screen is captured instead.
    bool available = false;
    NativeWindow id = 0;
    /// The window's outer frame in screen coordinates. Empty for a minimised (unmapped) window
    /// or one that vanished, which is a capture failure rather than a reason to fall back.
    QRect frame;
    QString reason;
};

/// A grabber that copies the screen's pixels itself, at once: it finds the target window, clips
/// it to the primary screen and copies it.
class CDirectScreenGrabber : public CScreenGrabber
{
public:
    void Capture(bool wholeScreen, Done done) final;

    /// The primary screen, with its origin at (0, 0); empty when there is no screen.
    virtual QRect ScreenRect() const = 0;
    virtual ForegroundWindow FindForegroundWindow() const = 0;
    /// Keeps `window` above the others while it is copied, and lets it go again afterwards.
    virtual void SetTopmost(NativeWindow window, bool topmost) = 0;
    /// The pixels of `area` (screen coordinates) as they are on the screen now; a null image
    /// when the session does not allow it.
    virtual QImage Grab(const QRect& area) = 0;
};
