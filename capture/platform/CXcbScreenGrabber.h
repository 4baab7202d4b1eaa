// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CQtScreenGrabber.h"

/// X11: the screen through QScreen, the foreground window from the window manager's
/// _NET_ACTIVE_WINDOW on the root window.
class CXcbScreenGrabber : public CQtScreenGrabber
{
public:
    ForegroundWindow FindForegroundWindow() const override;
    void SetTopmost(NativeWindow window, bool topmost) override;
};
