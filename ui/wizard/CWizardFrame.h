// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class CWizardPage;
struct IoResult;
struct Screenshot;
struct Settings;
enum class SettingsGroup;
class TempFolder;
class UploadLog;
class QWidget;

/// Page numbers of the wizard.
enum WizardPageIndex : int {
    kWelcomePage = 0,
    kVideoPage = 1,
    kFileListPage = 2,
    kUploadSettingsPage = 3,
    kUploadPage = 4,
    kPageCount = 5,
};

/// The band above pages 3 and 4 that shows the page's header picture, and the height those
/// pages get below it, in pixels.
inline constexpr int kHeaderHeight = 50;
inline constexpr int kHeaderPageHeight = 380;

/// Ids of the frame's buttons, as the pages address them.
enum WizardButton : int {
    kExitButton = 2,
    kPrevButton = 1078,
    kNextButton = 1079,
    kAboutButton = 1081,
};

/// What a page may ask of the wizard frame. Pages reach the frame, the settings record and each
/// other only through this interface: no page knows another page's class.
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

    /// The record read at start-up; pages edit it in place.
    virtual Settings& WizardSettings() = 0;
    /// There was no settings file when the program started: the service is the program's choice.
    virtual bool IsFirstStart() const = 0;
    /// Writes the keys of `group` into the settings file, the one way the frame and the pages
    /// save. A failure is logged, and returned for those who tell the user.
    virtual IoResult SaveSettings(SettingsGroup group) = 0;
    /// The folder of this running copy for intermediate pictures.
    virtual std::shared_ptr<TempFolder> Temp() const = 0;
    /// Where uploads put every file that went up; it keeps them in the upload history.
    virtual std::shared_ptr<UploadLog> UploadHistory() = 0;
    /// Opens the upload history's window, or brings it to the front.
    virtual void ShowHistory() = 0;
    /// The frame's own window: owner of dialogs, hidden during a screenshot.
    virtual QWidget* FrameWindow() = 0;

    virtual void EnableButton(WizardButton button, bool enable) = 0;
    virtual void ShowButton(WizardButton button, bool show) = 0;
    virtual void SetNextCaption(const QString& text) = 0;

    /// Runs the screenshot dialog for `page` and keeps its choices; the picture's path is empty
    /// when the user cancelled or the capture failed (and was told so).
    virtual Screenshot TakeScreenshot(QWidget* page) = 0;

    /// Hands a picture file to the file list page (creating it first); why it was refused, or empty.
    virtual QString AddToFileList(const QString& path) = 0;
    /// Hands every file to the file list page; one line per refused file, "name — reason".
    QStringList AddFilesToList(const QStringList& paths);
    /// Starts the file list page's thumbnail loader.
    virtual void StartFileListLoader() = 0;
    /// The files of the file list page, in list order; none while it does not exist.
    virtual QStringList FileListPaths() const = 0;
    /// Empties the file list page.
    virtual void ClearFileList() = 0;
    /// Leaves only rows `rows` (ascending) of the file list page, in their order.
    virtual void KeepInFileList(const QList<int>& rows) = 0;
    /// Hands the video page the file to take frames from (creating the page first).
    virtual void SetVideoFile(const QString& path) = 0;
    /// Takes files as if they were dropped on the window while the current page is shown.
    virtual void DropFiles(const QStringList& paths) = 0;
};
