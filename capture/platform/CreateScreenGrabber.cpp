// SPDX-License-Identifier: MIT
#include "capture/platform/CQtScreenGrabber.h"
#include "capture/platform/CXcbScreenGrabber.h"

#include <QGuiApplication>

std::unique_ptr<CScreenGrabber> CreateScreenGrabber()
{
    // Decided by the platform Qt actually runs on, not by $DISPLAY: under Wayland an X server
    // (XWayland) may be reachable but knows only its own clients.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<CXcbScreenGrabber>();
    return std::make_unique<CQtScreenGrabber>();
}
