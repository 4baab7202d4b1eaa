// SPDX-License-Identifier: MIT
#pragma once

#include "ui/wizard/CWizardPage.h"

#include <QWidget>
#include <functional>

class CCommandListBox;
struct Screenshot;

/// Wizard page 0: the greeting the program opens with and returns to after an upload, and its
/// commands: add pictures, import a video file, take a screenshot, and the upload history.
class CWelcomeDlg : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    enum Command { AddImages = 1000, ImportVideo = 1001, TakeScreenshot = 1058, ShowHistory = 1059 };

    CWelcomeDlg(CWizardFrame* frame, QWidget* parent);

    bool OnShow() override;
    bool ShowsAbout() const override { return true; }
    void RunCommand(int commandId);
    CCommandListBox* Commands() const { return m_commands; }

    /// The dialogs the commands open; tests put their own in.
    std::function<QStringList(QWidget*)> ImagePicker;
    std::function<QString(QWidget*)> VideoPicker;

private:
    void OnAddImages();
    void OnImportVideo();
    void OnScreenshot();

    CCommandListBox* m_commands = nullptr;
};
