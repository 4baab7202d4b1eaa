// SPDX-License-Identifier: MIT
#include "capture/platform/CQtScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

QRect CQtScreenGrabber::ScreenRect() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? QRect(QPoint(0, 0), screen->size()) : QRect();
}

ForegroundWindow CQtScreenGrabber::FindForegroundWindow() const
{
    ForegroundWindow result;
    result.reason = QStringLiteral("the platform \"%1\" does not tell which window is active")
                        .arg(QGuiApplication::platformName());
    return result;
}

void CQtScreenGrabber::SetTopmost(NativeWindow, bool)
{
    // Nothing to raise: this grabber only ever copies the whole screen.
}

QImage CQtScreenGrabber::Grab(const QRect& area)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || area.isEmpty())
        return QImage();
    // Window 0 is the whole desktop; the pixmap is null where the session refuses (Wayland).
    const QPixmap pixmap = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    return pixmap.isNull() ? QImage() : pixmap.toImage();
}
