// SPDX-License-Identifier: MIT
#include "ui/pages/CVideoGrabber.h"

#include "app/core/PostToRun.h"
#include "imaging/SaveToTemp.h"
#include "imaging/TempFolder.h"
#include "settings/Settings.h"
#include "ui/kit/CUpDown.h"
#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/FileDialogs.h"
#include "ui/kit/MessageBoxes.h"
#include "ui/pages/CVideoGrabberParams.h"
#include "ui/widgets/CThumbsView.h"
#include "video/Deinterlace.h"
#include "video/FrameExtraction.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimerEvent>

namespace {

constexpr int kStopSeconds = 8;
constexpr int kDefaultFrameCount = 5;
// At exit, how long an extraction may take to notice the stop before it is left to end on its own.
constexpr std::chrono::milliseconds kExitWait {5000};

int NumberOf(const QLineEdit* edit)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

} // namespace

// What one extraction shares between the page and its worker. A worker given up by a forced
// stop outlives the page's interest in it, so it owns a share of everything it uses.
struct CVideoGrabber::Run
{
    QString path;
    int count = 0;
    bool deinterlace = false;
    std::shared_ptr<TempFolder> temp;
    std::atomic<bool> stop {false};
    int id = 0;
};

// The worker's side of the frames: each is deinterlaced, saved and drawn as a thumbnail there,
// so that only the small tile travels to the page, which may be busy or gone meanwhile.
class CVideoGrabber::Sink : public FrameSink
{
public:
    Sink(const QPointer<CVideoGrabber>& page, std::shared_ptr<Run> run)
        : m_page(page)
        , m_run(std::move(run))
    { }

    void OnStatus(const QString& text) override
    {
        Post([text](CVideoGrabber* p) { p->SetStatus(text); });
    }
    void OnProgress(int framesDone) override
    {
        Post([framesDone](CVideoGrabber* p) { p->m_progress->setValue(framesDone); });
    }
    void OnFrame(const GrabbedFrame& frame) override
    {
        const QImage picture = m_run->deinterlace ? Deinterlace(frame.image) : frame.image;
        const SavedPicture saved = m_run->temp
            ? SaveToTemp(*m_run->temp, picture, QStringLiteral("grab.jpg"), ImageFormat::Jpeg, 100)
            : SavedPicture {{}, QStringLiteral("no temporary folder")};
        if (!saved.ok()) {
            const QString text = QStringLiteral("Кадр %1 не сохранён: %2").arg(frame.caption, saved.error);
            Post([text](CVideoGrabber* p) { p->SetStatus(text); });
            return;
        }
        const QImage tile = CThumbsView::RenderTile(picture, picture.size(), false);
        Post([path = saved.path, caption = frame.caption, tile, size = picture.size()](
                 CVideoGrabber* p) { p->AddFrame(path, caption, tile, size); });
    }

    template<class F> void Post(F&& f) { PostToRun(m_page, m_run->id, std::forward<F>(f)); }

private:
    QPointer<CVideoGrabber> m_page;
    std::shared_ptr<Run> m_run;
};

CVideoGrabber::CVideoGrabber(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
    , VideoPicker([frame](QWidget* owner) {
        return PickVideoFile(owner, frame ? &frame->WizardSettings().folders.Video : nullptr);
    })
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("103"));
    resize(DluX(385), DluY(269));

    if (WizardDlg) {
        const VideoPart::VideoGrabberKeys& stored = WizardDlg->WizardSettings().video.VideoGrabber;
        m_values = {{stored.Columns, stored.TileWidth, stored.GapWidth, stored.GapHeight}, stored.NumOfFrames,
            stored.Quality};
    }

    // In the order of the template, which is the order of the Tab key.
    PlaceControl(new QGroupBox(QStringLiteral("Извлечение кадров"), this), 0, {6, 4, 373, 62});
    MakeLabel(this, 0, QStringLiteral("Имя файла:"), {14, 18, 44, 8});
    m_fileName = MakeEdit(this, 1040, {60, 16, 250, 12});
    m_browse = MakeButton(this, 1041, QStringLiteral("Выбор..."), {316, 15, 55, 14});
    m_countLabel = MakeLabel(this, 1088, QStringLiteral("Кол-во кадров:"), {14, 36, 56, 8});
    m_count = MakeEdit(this, 1031, {72, 34, 34, 12});
    m_countArrows = new CUpDown(m_count, 1, 100, this);
    m_countArrows->setObjectName(QStringLiteral("1048"));
    m_deinterlace = new QCheckBox(QStringLiteral("Деинтерлейс"), this);
    PlaceControl(m_deinterlace, 1036, {114, 35, 70, 10});
    m_extract = MakeButton(this, 1039, QStringLiteral("Извлечь"), {316, 33, 55, 14});
    m_progress = new QProgressBar(this);
    PlaceControl(m_progress, 1038, {14, 34, 236, 12});
    m_progress->setTextVisible(false);
    m_stop = MakeButton(this, 2, QStringLiteral("Остановить"), {256, 33, 55, 14});
    m_status = MakeLabel(this, 1046, QString(), {14, 51, 357, 10});
    m_status->setWordWrap(false);

    m_view = new CThumbsView(this);
    PlaceControl(m_view, 1002, {6, 70, 373, 170});
    m_view->Init(&m_frames);

    MakeLabel(this, 0, QStringLiteral("Сохранить как:"), {8, 248, 54, 8});
    m_manyFiles = new QRadioButton(QStringLiteral(" множество файлов"), this);
    PlaceControl(m_manyFiles, 1043, {64, 247, 82, 10});
    m_oneFile = new QRadioButton(QStringLiteral(" один файл"), this);
    PlaceControl(m_oneFile, 1044, {150, 247, 54, 10});
    m_parameters = MakeButton(this, 1047, QStringLiteral("Параметры"), {208, 245, 56, 14});
    MakeLabel(this, 0, QStringLiteral("Качество:"), {282, 248, 36, 8});
    m_quality = MakeEdit(this, 1045, {320, 246, 34, 12});
    (new CUpDown(m_quality, 1, 100, this))->setObjectName(QStringLiteral("1012"));
    MakeLabel(this, 0, QStringLiteral("%"), {358, 248, 10, 8});

    m_count->setText(QString::number(m_values.numOfFrames));
    m_quality->setText(QString::number(m_values.quality));
    m_manyFiles->setChecked(true);
    m_parameters->setEnabled(false);
    m_stop->hide();
    m_progress->hide();

    connect(m_browse, &QPushButton::clicked, this, [this] {
        if (const QString file = VideoPicker ? VideoPicker(window()) : QString(); !file.isEmpty())
            m_fileName->setText(file);
    });
    connect(m_extract, &QPushButton::clicked, this, &CVideoGrabber::OnExtract);
    connect(m_stop, &QPushButton::clicked, this, &CVideoGrabber::OnStop);
    connect(m_oneFile, &QRadioButton::toggled, m_parameters, &QWidget::setEnabled);
    connect(m_parameters, &QPushButton::clicked, this, [this] {
        CVideoGrabberParams dialog(m_values.layout, this);
        dialog.exec();
    });
    // However frames leave the list, Next follows.
    connect(&m_frames, &QAbstractItemModel::rowsRemoved, this, &CVideoGrabber::UpdateNext);
    connect(&m_frames, &QAbstractItemModel::modelReset, this, &CVideoGrabber::UpdateNext);
}

CVideoGrabber::~CVideoGrabber()
{
    // The program is closing: the extraction notices the stop within a packet or a read; one
    // that does not is left to end on its own with what it shares.
    if (m_run)
        m_run->stop = true;
    m_extractor.StopWithin(kExitWait);
}

void CVideoGrabber::SetVideoFile(const QString& path)
{
    m_videoFile = path;
    m_fileName->setText(path);
}

bool CVideoGrabber::OnShow()
{
    m_fileName->setText(m_videoFile);
    EnableNext(false);
    ShowPrev(true);
    EnablePrev(true);
    ShowNext(true);
    EnableExit(true);
    m_view->Clear();
    m_extract->setFocus();
    return true;
}

void CVideoGrabber::SetExtracting(bool extracting)
{
    m_extracting = extracting;
    for (QWidget* idle : {static_cast<QWidget*>(m_countLabel), static_cast<QWidget*>(m_count), m_countArrows,
             static_cast<QWidget*>(m_deinterlace)})
        idle->setVisible(!extracting);
    m_stop->setVisible(extracting);
    m_progress->setVisible(extracting);
    for (QWidget* control : {static_cast<QWidget*>(m_extract), static_cast<QWidget*>(m_fileName),
             static_cast<QWidget*>(m_browse)})
        control->setEnabled(!extracting);
    EnablePrev(!extracting);
    EnableExit(!extracting);
    if (extracting)
        EnableNext(false);
    else
        UpdateNext();
}

void CVideoGrabber::OnExtract()
{
    m_stopPending = false;
    SetExtracting(true);
    m_stop->setText(QStringLiteral("Стоп"));
    int count = NumberOf(m_count);
    if (count == 0)
        count = kDefaultFrameCount;
    m_progress->setRange(0, std::max(count, 1));
    m_progress->setValue(0);
    m_status->setToolTip(QString());

    // A worker given up by a forced stop may still be leaving; it ends on its own.
    if (m_extractor.IsRunning())
        m_extractor.Abandon();
    auto run = std::make_shared<Run>();
    run->path = m_fileName->text().left(255);
    run->count = count;
    run->deinterlace = m_deinterlace->isChecked();
    run->temp = WizardDlg ? WizardDlg->Temp() : nullptr;
    run->id = ++m_runId;
    m_run = run;
    if (!m_extractor.Start(run))
        FinishExtraction();
}

int CVideoGrabber::ThreadProc(std::stop_token stop, std::shared_ptr<Run> run)
{
    const std::stop_callback stopping(stop, [run] { run->stop = true; });
    Sink sink(QPointer<CVideoGrabber>(this), run);
    const ExtractionResult result = ExtractFrames(run->path, run->count, sink, &run->stop);
    // The status line keeps the page's words; FFmpeg's own, and the times that gave no picture,
    // are there for a user who wants to know more.
    QStringList details;
    if (!result.detail.isEmpty())
        details << result.detail;
    if (!result.missed.isEmpty()) {
        QStringList times;
        for (const MediaTime time : result.missed)
            times << FrameCaption(time);
        details
            << QStringLiteral("Не удалось получить кадры около: %1").arg(times.join(QStringLiteral(", ")));
    }
    sink.Post([details](CVideoGrabber* p) {
        p->m_status->setToolTip(details.join(u'\n'));
        p->FinishExtraction();
    });
    return 0;
}

void CVideoGrabber::AddFrame(const QString& path, const QString& caption, const QImage& tile, QSize size)
{
    m_view->AddDrawnFile(path, caption, tile, size);
    m_view->scrollToBottom();
}

void CVideoGrabber::SetStatus(const QString& text)
{
    m_status->setText(text);
}

void CVideoGrabber::OnStop()
{
    if (!m_extracting)
        return;
    if (m_run)
        m_run->stop = true;
    m_extractor.RequestStop();
    if (m_stopPending) {
        // Threads are never killed: the extraction is forgotten and ends by itself moments
        // later; what it still reports is dropped.
        ++m_runId;
        m_extractor.Abandon();
        FinishExtraction();
        return;
    }
    m_countdown = kStopSeconds;
    m_countdownTimer.start(1000, this);
    m_stopPending = true;
}

void CVideoGrabber::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_countdownTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (--m_countdown > 0) {
        m_stop->setText(QStringLiteral("Stop (%1)").arg(m_countdown));
        return;
    }
    ++m_runId;
    m_extractor.Abandon();
    FinishExtraction();
}

void CVideoGrabber::FinishExtraction()
{
    m_countdownTimer.stop();
    m_stopPending = false;
    SetExtracting(false);
}

void CVideoGrabber::UpdateNext()
{
    if (!m_extracting)
        EnableNext(m_frames.Count() > 0);
}

QString CVideoGrabber::BuildTileSheet()
{
    QList<SheetFrame> frames;
    for (int row = 0; row < m_frames.Count(); ++row)
        frames.append({{}, m_frames.Path(row), m_frames.index(row).data(Qt::DisplayRole).toString()});
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QImage sheet
        = ::BuildTileSheet(frames, m_values.layout, m_view->maxImageWidth(), m_view->maxImageHeight());
    QApplication::restoreOverrideCursor();
    if (sheet.isNull() || !WizardDlg || !WizardDlg->Temp())
        return {};
    const SavedPicture saved
        = SaveToTemp(*WizardDlg->Temp(), sheet, QStringLiteral("grab_custom.jpg"), ImageFormat::Jpeg, 100);
    if (!saved.ok())
        SetStatus(QStringLiteral("Лист кадров не сохранён: %1").arg(saved.error));
    return saved.path;
}

bool CVideoGrabber::OnNext()
{
    if (m_frames.Count() == 0 || !WizardDlg || !WizardDlg->CreatePage(kFileListPage))
        return false;
    QStringList refused;
    if (m_manyFiles->isChecked()) {
        refused = WizardDlg->AddFilesToList(m_frames.Paths());
    } else if (const QString sheet = BuildTileSheet(); !sheet.isEmpty()) {
        refused = WizardDlg->AddFilesToList({sheet});
    } else {
        return false; // nothing to hand on: the page says why and keeps the frames
    }
    ShowRefusedFiles(WizardDlg->FrameWindow(), refused);
    m_view->Clear();

    m_values.numOfFrames = NumberOf(m_count);
    VideoPart::VideoGrabberKeys& stored = WizardDlg->WizardSettings().video.VideoGrabber;
    stored = {m_values.layout.columns, m_values.layout.tileWidth, m_values.layout.gapWidth,
        m_values.layout.gapHeight, m_values.numOfFrames, m_values.quality};
    return true;
}
