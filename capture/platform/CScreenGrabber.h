// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>

/// How a capture ended.
struct CaptureOutcome
{
    enum Status { Taken, Cancelled, Failed };

    Status status = Failed;
    QImage image; ///< the picture, when Taken
    /// Taken: the active window was asked for, but the session cannot name it, so the picture
    /// shows the whole screen.
    bool wholeScreenInstead = false;
    /// Why the whole screen stands in for the window, or, Failed, what to tell the user (empty:
    /// nothing beyond the plain failure message).
    QString reason;
};

/// The windowing system's part of a screenshot: one implementation per platform, chosen at run
/// time by CreateScreenGrabber.
class CScreenGrabber
{
public:
    using Done = std::function<void(const CaptureOutcome&)>;

    virtual ~CScreenGrabber() = default;

    /// Takes a picture of the whole screen or of the active window and calls `done` once with the
    /// outcome: before returning where the pixels can be copied at once, later from the event loop
    /// where the desktop takes the picture itself. Never after the grabber is destroyed.
    virtual void Capture(bool wholeScreen, Done done) = 0;
};

/// Which grabber serves a session.
enum class GrabberKind { X11, Portal, QtScreen };

/// X11 for Qt on "xcb" in an X11 session; the desktop portal under Wayland, where clients may
/// not read the screen, also for Qt on "xcb" through XWayland (`waylandDisplay` set); QScreen
/// alone on every other platform.
GrabberKind ChooseScreenGrabber(const QString& platformName, const QString& waylandDisplay);

/// The grabber for the session this program runs in.
std::unique_ptr<CScreenGrabber> CreateScreenGrabber();
