// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CScreenGrabber.h"

#include <QImage>
#include <memory>
#include <utility>
#include <vector>

/// A screen of our own: every pixel has a colour of its own, so a copied picture shows which
/// part of the screen it came from.
QImage PatternScreen(int width, int height);

/// What a fake grabber was asked and what it answers.
struct FakeScreen
{
    QImage screen; ///< null: no screen at all
    ForegroundWindow foreground;
    bool grabFails = false;
    std::vector<std::pair<NativeWindow, bool>> topmostCalls;
    std::vector<QRect> grabs;
};

class CFakeGrabber : public CScreenGrabber
{
public:
    explicit CFakeGrabber(std::shared_ptr<FakeScreen> state)
        : m_state(std::move(state))
    { }
    QRect ScreenRect() const override;
    ForegroundWindow FindForegroundWindow() const override { return m_state->foreground; }
    void SetTopmost(NativeWindow window, bool topmost) override;
    QImage Grab(const QRect& area) override;

private:
    std::shared_ptr<FakeScreen> m_state;
};
