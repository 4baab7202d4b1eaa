// SPDX-License-Identifier: MIT
#pragma once

#include "settings/SettingsStore.h"
#include "ui/CHistoryWindow.h"
#include "ui/wizard/CWizardFrame.h"

#include <QDialog>
#include <QPointer>
#include <array>

class CMainDlg;
class HistoryLog;
class CVideoGrabber;
class QLabel;
class QPushButton;

/// The process's exit code after the user left the program the normal way.
inline constexpr int kNormalExitCode = 2;

/// The wizard's only top-level window: the page area, the button row, page creation and
/// navigation, dropped files, the exit question, and the settings record.
class CWizardDlg : public QDialog, public CWizardFrame
{
    Q_OBJECT
public:
    /// `settings` were read at start-up and outlive the frame. Without `temp` the frame makes a
    /// folder of its own in the system's temporary directory.
    explicit CWizardDlg(
        SettingsStore& settings, std::shared_ptr<TempFolder> temp = {}, QWidget* parent = nullptr);
    ~CWizardDlg() override;

    bool CreatePage(int index) override;
    void ShowPage(int index, int backTarget, int nextTarget) override;
    CWizardPage* Page(int index) const override;
    int CurrentPage() const override { return CurPage; }
    Settings& WizardSettings() override { return m_settings.Values(); }
    bool IsFirstStart() const override { return m_settings.IsFirstStart(); }
    IoResult SaveSettings(SettingsGroup group) override;
    std::shared_ptr<TempFolder> Temp() const override { return m_temp; }
    std::shared_ptr<UploadLog> UploadHistory() override;
    void ShowHistory() override;
    /// The history window while it is open.
    CHistoryWindow* HistoryWindow() const { return m_historyWindow; }
    QWidget* FrameWindow() override { return this; }
    void EnableButton(WizardButton button, bool enable) override;
    void ShowButton(WizardButton button, bool show) override;
    void SetNextCaption(const QString& text) override;
    Screenshot TakeScreenshot(QWidget* page) override;
    QString AddToFileList(const QString& path) override;
    void StartFileListLoader() override;
    QStringList FileListPaths() const override;
    void ClearFileList() override;
    void KeepInFileList(const QList<int>& rows) override;
    void SetVideoFile(const QString& path) override;

    void OnBack();
    void OnNext();
    /// The Exit button, Escape and the close box: asks on pages 1 to 3, then saves and closes.
    void OnExit();
    void OnAbout();
    /// Does what RouteDrop says of the dropped files: adds the profiles, hands the pictures to
    /// the file list, opens the video page, and names the files refused.
    void DropFiles(const QStringList& paths) override;
    /// Adds service profiles to the user's services and says what came of each.
    void AddServices(const QStringList& files);
    /// Ends the program's window with `exitCode` for the event loop.
    void CloseWizard(int exitCode);
    void setVisible(bool visible) override;

    int PrevPage = -1;
    int NextPage = -1;

signals:
    /// The user has left; the event loop ends with `exitCode`.
    void wizardClosed(int exitCode);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QPushButton* ButtonOf(WizardButton button) const;
    /// Centres the window, title bar included, in the free area of its screen.
    void PlaceOnScreen();
    /// Tells the user about the history's file, once while the program runs.
    void TellHistoryNotice(const QString& notice);

    int CurPage = -1;
    std::array<CWizardPage*, kPageCount> m_pages {};
    // The same pages by their classes, for the few things the frame asks of each.
    CMainDlg* m_fileList = nullptr;
    CVideoGrabber* m_video = nullptr;
    SettingsStore& m_settings;
    std::shared_ptr<TempFolder> m_temp;
    std::shared_ptr<HistoryLog> m_history; ///< made on the first upload
    QPointer<CHistoryWindow> m_historyWindow;
    bool m_historyNoticeShown = false;
    QLabel* m_header = nullptr;
    QPushButton* m_about = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_exit = nullptr;
    bool m_closing = false;
    bool m_placed = false;
};
