// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CDirectScreenGrabber.h"

/// Screen size and pixels through QScreen, which every Qt platform offers. It knows no
/// foreground window, so an active-window capture falls back to the whole screen.
class CQtScreenGrabber : public CDirectScreenGrabber
{
public:
    QRect ScreenRect() const override;
    ForegroundWindow FindForegroundWindow() const override;
    void SetTopmost(NativeWindow window, bool topmost) override;
    QImage Grab(const QRect& area) override;
};
