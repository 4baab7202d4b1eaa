// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/CThreadImpl.h"
#include "settings/Settings.h"
#include "ui/wizard/CWizardPage.h"
#include "upload/CodeGenerator.h"
#include "upload/UploadResult.h"
#include "upload/UploadWorker.h"

#include <QBasicTimer>
#include <QList>
#include <QStringList>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

/// Wizard page 4: runs the upload on a worker, shows its progress and the generated code.
class CUploadDlg : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CUploadDlg(CWizardFrame* frame, QWidget* parent);
    ~CUploadDlg() override;

    /// Starts a new upload of the file list.
    bool OnShow() override;
    /// While uploading: the first press asks the worker to stop before its next file and starts
    /// a 5-second countdown; the second press, or the end of the countdown, ends the upload at once.
    /// Afterwards: stores the code type and lets the frame go home. The file list keeps the files
    /// that failed, or is emptied when none did.
    bool OnNext() override;
    QString HeaderCaption() const override;
    /// "Повторить неудачные": the list keeps only the failed files, and they are sent again. The
    /// code keeps the files already uploaded.
    void RetryFailed();

    /// Rebuilds the code box from Results; on the user-interface thread only.
    void GenerateCode();
    void Finish();
    void CopyAll();
    /// A worker still runs, also one given up by a forced end that has not ended yet.
    bool IsRunning() const { return m_worker.IsRunning(); }
    /// The run whose reports the page still takes.
    int CurrentRun() const { return m_runId; }
    QString StatusText() const;

    int StopCountdown = 0;
    bool StopPressed = false;
    /// Every successful file of this run, in list order. Only the user-interface thread touches it.
    QList<UploadResult> Results;
    /// "name: reason" for every file of this run that did not go up, in the window's words.
    QStringList Failures;
    QString TemplatePath; ///< template.txt beside the settings file, as the frame sets it

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend class CThreadImpl<CUploadDlg>;
    struct RunState;
    class Listener;
    int ThreadProc(std::stop_token stop, std::shared_ptr<RunState> run);
    /// A run of the file list as it is now; `fresh` starts the code anew.
    void StartRun(bool fresh);
    void ForceEnd();
    void SetStatus(const QString& text);
    void AddResult(const UploadResult& result);
    void NoteFailure(int index, const QString& reason);
    void RunCompleted(const QString& summary);
    void ShowFailures(bool shown);

    std::shared_ptr<RunState> m_run; ///< the latest run
    int m_runId = 0; ///< reports of other runs are dropped
    CodeTemplate m_template;
    bool m_uploading = false;
    QBasicTimer m_countdown;
    QString m_codeText;
    QList<int> m_place; ///< of each file of the run, its place in the first run's list
    QList<int> m_resultPlaces; ///< of each of Results, the place of its file
    QList<int> m_failedRows; ///< rows of the file list that failed in this run
    QStringList m_reasons; ///< the English reasons of this run's failures
    int m_filesDone = 0; ///< files of this run handled so far
    int m_uploadedInRun = 0;

    QLabel* m_statusLine = nullptr;
    QProgressBar* m_progress = nullptr;
    QComboBox* m_codeType = nullptr;
    QLineEdit* m_perRow = nullptr;
    QPlainTextEdit* m_code = nullptr;
    QTreeWidget* m_failures = nullptr;
    QPushButton* m_retry = nullptr;
    CThreadImpl<CUploadDlg> m_worker {*this}; // last: it goes first, while all it uses is still there
};
