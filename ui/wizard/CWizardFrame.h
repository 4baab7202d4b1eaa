// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <memory>

class CWizardPage;
class TempFolder;
class QWidget;
struct Settings;

/// Page numbers of the wizard.
enum WizardPageIndex : int {
    kWelcomePage = 0,
    kVideoPage = 1,
    kFileListPage = 2,
    kUploadSettingsPage = 3,
    kUploadPage = 4,
    kPageCount = 5,
};

/// Ids of the frame's buttons, as the pages address them.
enum WizardButton : int {
    kExitButton = 2,
    kPrevButton = 1078,
    kNextButton = 1079,
    kAboutButton = 1081,
};

/// What a page may ask of the wizard frame. Pages in other libraries (the video grabber)
/// reach the frame, the settings record and the file list only through this interface.
class CWizardFrame
{
public:
    virtual ~CWizardFrame() = default;

    /// Makes sure page `index` exists; false for an index outside 0..4.
    virtual bool CreatePage(int index) = 0;
    /// Makes page `index` current and installs one-shot Back/Next targets (-1 for none).
    virtual void ShowPage(int index, int backTarget, int nextTarget) = 0;
    /// The page, or null while it has not been created.
    virtual CWizardPage* Page(int index) const = 0;
    virtual int CurrentPage() const = 0;

    virtual Settings& WizardSettings() = 0;
    /// The settings file, for the few values kept outside the record.
    virtual QString IniPath() const = 0;
    /// The folder of this running copy for intermediate pictures.
    virtual std::shared_ptr<TempFolder> Temp() const = 0;
    /// The frame's own window: owner of dialogs, hidden during a screenshot.
    virtual QWidget* FrameWindow() = 0;

    virtual void EnableButton(WizardButton button, bool enable) = 0;
    virtual void ShowButton(WizardButton button, bool show) = 0;
    virtual void SetNextCaption(const QString& text) = 0;

    /// Hands a picture file to the file list page (creating it first); why it was refused, or empty.
    virtual QString AddToFileList(const QString& path) = 0;
    /// Starts the file list page's thumbnail loader.
    virtual void StartFileListLoader() = 0;
};
