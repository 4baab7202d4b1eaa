// SPDX-License-Identifier: MIT
#pragma once

#include "ui/wizard/CWizardFrame.h"

#include <QPixmap>
#include <QString>

class QWidget;

/// The operations every wizard page offers the frame, and the button helpers a page uses.
class CWizardPage
{
public:
    virtual ~CWizardPage() = default;

    /// Base: Next and Back shown and enabled. The frame ignores the result.
    virtual bool OnShow();
    /// Base: nothing. The frame ignores the result.
    virtual bool OnHide() { return false; }
    /// True lets the frame move on.
    virtual bool OnNext() { return true; }

    // What the frame shows around the page while it is current.

    /// The caption of the band above the page; empty: no band, and the page fills the frame.
    virtual QString HeaderCaption() const { return {}; }
    /// What the Next button says as the page is shown; the page may change it as it works.
    virtual QString NextCaption() const;
    /// Whether the frame's About button shows with the page.
    virtual bool ShowsAbout() const { return false; }

    void EnableNext(bool enable) { Button(kNextButton, enable, true); }
    void EnablePrev(bool enable) { Button(kPrevButton, enable, true); }
    void EnableExit(bool enable) { Button(kExitButton, enable, true); }
    void ShowNext(bool show) { Button(kNextButton, show, false); }
    void ShowPrev(bool show) { Button(kPrevButton, show, false); }
    void SetNextCaption(const QString& text);

    CWizardFrame* WizardDlg = nullptr; ///< set by the frame before the page's window is built
    QPixmap HeaderBitmap; ///< the band the frame drew from HeaderCaption; null for none
    QWidget* PageWnd = nullptr; ///< the page's own window

private:
    void Button(WizardButton button, bool on, bool enable);
};
