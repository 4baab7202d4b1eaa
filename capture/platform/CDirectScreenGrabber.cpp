// SPDX-License-Identifier: MIT
#include "capture/platform/CDirectScreenGrabber.h"

#include "capture/CaptureGeometry.h"

void CDirectScreenGrabber::Capture(bool wholeScreen, Done done)
{
    CaptureOutcome outcome;
    const QRect screen = ScreenRect();
    if (screen.isEmpty())
        return done(outcome);

    NativeWindow target = 0;
    QRect targetRect = screen;
    if (!wholeScreen) {
        const ForegroundWindow foreground = FindForegroundWindow();
        if (foreground.available) {
            target = foreground.id;
            targetRect = foreground.frame;
        } else {
            // Not knowing the window is a limit of the session, not a failure of the user's
            // request: a picture of everything still holds the window they meant.
            outcome.wholeScreenInstead = true;
            outcome.reason = foreground.reason;
        }
    }

    const std::optional<CaptureArea> area = ClipToScreen(targetRect, screen.size());
    if (!area)
        return done({});

    if (target)
        SetTopmost(target, true);
    outcome.image = Grab(area->screenRect);
    if (target)
        SetTopmost(target, false);
    if (outcome.image.isNull())
        return done({});
    outcome.status = CaptureOutcome::Taken;
    done(outcome);
}
