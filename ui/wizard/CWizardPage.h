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

    void EnableNext(bool enable) { Button(kNextButton, enable, true); }
    void EnablePrev(bool enable) { Button(kPrevButton, enable, true); }
    void EnableExit(bool enable) { Button(kExitButton, enable, true); }
    void ShowNext(bool show) { Button(kNextButton, show, false); }
    void ShowPrev(bool show) { Button(kPrevButton, show, false); }
    void SetNextCaption(const QString& text);

    CWizardFrame* WizardDlg = nullptr; ///< set by the frame before the page's window is built
    QPixmap HeaderBitmap; ///< shown above the page while it is current; null for none
    QWidget* PageWnd = nullptr; ///< the page's own window

private:
    void Button(WizardButton button, bool on, bool enable);
};
