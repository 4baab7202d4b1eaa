// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CScreenGrabber.h"

#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
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

/// Answers every message box that opens while it lives with "ОК", remembering the last one.
class MessageBoxWatcher : public QObject
{
public:
    MessageBoxWatcher();
    int Count() const { return m_count; }
    QString Text() const { return m_text; }
    QString Caption() const { return m_caption; }
    QMessageBox::Icon Icon() const { return m_icon; }
    QWidget* Owner() const { return m_owner; }

private:
    void Poll();
    QTimer m_timer;
    int m_count = 0;
    QString m_text;
    QString m_caption;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QWidget* m_owner = nullptr;
};
