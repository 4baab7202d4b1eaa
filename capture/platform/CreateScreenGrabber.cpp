// SPDX-License-Identifier: MIT
#include "capture/platform/CPortalScreenGrabber.h"
#include "capture/platform/CQtScreenGrabber.h"
#include "capture/platform/CXcbScreenGrabber.h"

#include <QGuiApplication>

GrabberKind ChooseScreenGrabber(const QString& platformName, const QString& waylandDisplay)
{
    // Decided by the platform Qt actually runs on, not by $DISPLAY alone: under Wayland an X
    // server (XWayland) may be reachable, but it sees only its own clients and gives black
    // elsewhere. Qt falls back to it where its Wayland plugin is not installed.
    if (platformName.startsWith(QLatin1String("wayland")))
        return GrabberKind::Portal;
    if (platformName == QLatin1String("xcb"))
        return waylandDisplay.isEmpty() ? GrabberKind::X11 : GrabberKind::Portal;
    return GrabberKind::QtScreen;
}

std::unique_ptr<CScreenGrabber> CreateScreenGrabber()
{
    switch (ChooseScreenGrabber(QGuiApplication::platformName(), qEnvironmentVariable("WAYLAND_DISPLAY"))) {
    case GrabberKind::X11:
        return std::make_unique<CXcbScreenGrabber>();
    case GrabberKind::Portal:
        return std::make_unique<CPortalScreenGrabber>();
    case GrabberKind::QtScreen:
        break;
    }
    return std::make_unique<CQtScreenGrabber>();
}
