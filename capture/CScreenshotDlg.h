// SPDX-License-Identifier: MIT
#pragma once

#include "capture/platform/CScreenGrabber.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QString>
#include <QTimer>
#include <memory>

class QComboBox;
class TempFolder;
class QLineEdit;
class QRadioButton;

/// Takes a picture of the whole screen or of the active window after a delay and saves it in
/// the temporary folder. Results: 1 saved (see ResultPath), 2 cancelled, 0 failed (the user
/// has been told). While the delay runs, and while the desktop takes the picture, the dialog and
/// the frame window are hidden.
class CScreenshotDlg : public QDialog
{
    Q_OBJECT
public:
    /// `frameWindow` owns the dialog and is hidden during the delay; `pageWindow` owns the
    /// failure message. `grabber` defaults to the one for the running platform.
    CScreenshotDlg(QWidget* frameWindow, QWidget* pageWindow, const ScreenshotPart& values, TempFolder& temp,
        std::unique_ptr<CScreenGrabber> grabber = nullptr);
    ~CScreenshotDlg() override;

    /// Modal like QDialog::exec(), but survives the dialog hiding itself during the delay.
    int exec() override;
    void reject() override;

    /// The saved picture, set when the dialog ended with result 1.
    QString ResultPath() const { return m_resultPath; }
    /// The choices to keep: those the dialog opened with, or those of a capture that worked.
    const ScreenshotPart& Values() const { return m_values; }
    /// True when an active-window capture had to take the whole screen because the session
    /// cannot name the active window.
    bool FellBackToWholeScreen() const { return m_fellBack; }
    /// What the user should know about the picture beyond its success: that it shows the whole
    /// screen instead of the window, and why. Empty otherwise.
    QString Note() const;
    /// The delay timer, so tests can read its interval and shorten it.
    QTimer* CaptureTimer() { return &m_timer; }

private:
    void Take();
    void Capture();
    void Captured(const CaptureOutcome& outcome, const ScreenshotPart& values);
    void Finish(int result);

    QWidget* m_frame;
    QWidget* m_page;
    ScreenshotPart m_values;
    TempFolder& m_temp;
    std::unique_ptr<CScreenGrabber> m_grabber;
    QTimer m_timer;
    QRadioButton* m_wholeScreen;
    QRadioButton* m_activeWindow;
    QLineEdit* m_delay;
    QComboBox* m_format;
    QLineEdit* m_quality;
    QString m_resultPath;
    bool m_fellBack = false;
    QString m_fallbackReason;
    bool m_captured = false;
};

/// A screenshot taken through the dialog: the saved picture, and the dialog's note about it.
struct Screenshot
{
    QString path; ///< empty when the user cancelled or the capture failed (and was told so)
    QString note;
    ScreenshotPart values; ///< the choices of a capture that worked, for the settings
};

/// Runs the screenshot dialog modally for a page: owned by `frameWindow`, which is hidden
/// while the delay runs, with the failure message owned by `pageWindow`. The dialog opens with
/// `values`; the picture's path is empty when the user cancelled or the capture failed (in which
/// case the user has already been told).
Screenshot TakeScreenshot(
    QWidget* frameWindow, QWidget* pageWindow, const ScreenshotPart& values, TempFolder& temp);
