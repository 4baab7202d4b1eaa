// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CScreenGrabber.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

class CPortalRequest;
class QDBusPendingCallWatcher;

/// Wayland, where no client may read the screen: the desktop portal's Screenshot interface on
/// the session bus takes the picture and answers later with a file. The whole screen is asked
/// for without a question; the active window through the portal's interactive mode, in which the
/// user picks it. Nothing blocks while the portal works.
class CPortalScreenGrabber : public CScreenGrabber
{
public:
    /// A portal that has not answered within `answerWithin` is given up, so the hidden wizard
    /// always comes back.
    explicit CPortalScreenGrabber(std::chrono::milliseconds answerWithin = std::chrono::minutes(2));
    ~CPortalScreenGrabber() override;

    void Capture(bool wholeScreen, Done done) override;

private:
    void Listen(const QString& requestPath);
    void OnCallFinished(QDBusPendingCallWatcher& call);
    void OnResponse(uint response, const QVariantMap& results);
    void OnTimeout();
    void CloseRequest();
    void Finish(const CaptureOutcome& outcome);

    std::chrono::milliseconds m_answerWithin;
    Done m_done;
    std::unique_ptr<CPortalRequest> m_request;
    QTimer m_timeout;
    // The context of every connection: it goes first, so nothing is heard after destruction.
    QObject m_life;
};
