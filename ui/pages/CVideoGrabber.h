// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/CThreadImpl.h"
#include "ui/widgets/CThumbsModel.h"
#include "ui/wizard/CWizardPage.h"
#include "video/TileSheet.h"

#include <QBasicTimer>
#include <QWidget>
#include <functional>
#include <memory>

class CThumbsView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

/// The sheet layout and the other values the page keeps of the settings, in their order there.
struct VideoGrabberValues
{
    TileSheetLayout layout;
    int numOfFrames = 8;
    int quality = 100;
};

/// Wizard page 1: frames taken from a video file by a worker, shown as they arrive, and handed
/// to the file list as one picture each or as one tile sheet.
class CVideoGrabber : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CVideoGrabber(CWizardFrame* frame, QWidget* parent);
    ~CVideoGrabber() override;

    /// The video file to take frames from.
    void SetVideoFile(const QString& path);
    QString VideoFile() const { return m_videoFile; }

    bool OnShow() override;
    /// Hands the frames on; stays while there is none.
    bool OnNext() override;

    void OnExtract();
    /// The Stop button: the first press asks the worker to stop and counts down, the second
    /// (or the end of the count) gives the worker up.
    void OnStop();
    void SetStatus(const QString& text);
    /// Back to the idle page after an extraction, however it ended.
    void FinishExtraction();

    /// The sheet of every frame in the list, saved in the temporary folder; empty when none could be made.
    QString BuildTileSheet();

    bool IsExtracting() const { return m_extracting; }
    int CurrentRun() const { return m_runId; }
    int StopCountdown() const { return m_countdown; }
    CThumbsView* Frames() const { return m_view; }
    VideoGrabberValues& Values() { return m_values; }

    /// The file dialog of "Выбор..."; tests put their own in.
    std::function<QString(QWidget*)> VideoPicker;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend class CThreadImpl<CVideoGrabber>;
    struct Run;
    class Sink;
    int ThreadProc(std::stop_token stop, std::shared_ptr<Run> run);
    void AddFrame(const QString& path, const QString& caption, const QImage& tile, QSize size);
    void SetExtracting(bool extracting);
    void UpdateNext();

    QString m_videoFile;
    VideoGrabberValues m_values;
    CThumbsModel m_frames;
    CThumbsView* m_view = nullptr;
    QLineEdit* m_fileName = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_countLabel = nullptr;
    QLineEdit* m_count = nullptr;
    QWidget* m_countArrows = nullptr;
    QCheckBox* m_deinterlace = nullptr;
    QPushButton* m_extract = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_status = nullptr;
    QRadioButton* m_manyFiles = nullptr;
    QRadioButton* m_oneFile = nullptr;
    QPushButton* m_parameters = nullptr;
    QLineEdit* m_quality = nullptr;

    bool m_extracting = false;
    bool m_stopPending = false;
    int m_countdown = 0;
    QBasicTimer m_countdownTimer;
    std::shared_ptr<Run> m_run; ///< the latest extraction
    int m_runId = 0; ///< reports of other runs are dropped
    CThreadImpl<CVideoGrabber> m_extractor {*this}; // last: it goes first, while all it uses is still there
};
