// SPDX-License-Identifier: MIT
#include "ui/pages/CUploadDlg.h"

#include "app/core/PostToRun.h"
#include "settings/IniFile.h"
#include "settings/Paths.h"
#include "ui/FailureReasons.h"
#include "ui/kit/CUpDown.h"
#include "ui/kit/Controls.h"
#include "ui/kit/MessageBoxes.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kStopSeconds = 5;
// The code box gives up the lower part of its room to the failed files when there are any.
const QRect kCodeBox {6, 76, 375, 139};
const QRect kCodeBoxAboveFailures {6, 76, 375, 83};
const QRect kFailureList {6, 162, 375, 53};
// At exit, how long a worker may take to end before it is left to end on its own.
constexpr std::chrono::milliseconds kExitWait {10000};

} // namespace

// What one run shares between the page and its worker. A worker given up by a forced end may
// outlive the page's interest in it, so it owns a share of everything it uses.
struct CUploadDlg::RunState
{
    UploadJob job;
    std::atomic<bool> stop {false}; ///< before the next file
    std::atomic<bool> abort {false}; ///< the transfer in flight too
    int id = 0;
};

// Carries the worker's reports to the page. Every call is queued to the user-interface thread
// and dropped there when the page is gone or has given the run up.
class CUploadDlg::Listener : public UploadListener
{
public:
    Listener(const QPointer<CUploadDlg>& page, int run)
        : m_page(page)
        , m_run(run)
    { }

    void OnProgressRange(int count) override
    {
        Post([count](CUploadDlg* p) {
            p->m_progress->setRange(0, count);
            p->m_progress->setValue(0);
        });
    }
    void OnProgress(int position) override
    {
        Post([position](CUploadDlg* p) {
            p->m_progress->setValue(position);
            p->m_filesDone = position;
        });
    }
    void OnStatus(const QString& text) override
    {
        Post([text](CUploadDlg* p) { p->SetStatus(text); });
    }
    void OnResult(const UploadResult& result) override
    {
        Post([result](CUploadDlg* p) { p->AddResult(result); });
    }
    void OnEngineFailure() override
    {
        Post([](CUploadDlg* p) {
            ShowMessage(p, QStringLiteral("Cannot select uploading engine"), QString());
        });
    }
    void OnFileFailed(int index, const QString& reason) override
    {
        Post([index, reason](CUploadDlg* p) { p->NoteFailure(index, reason); });
    }
    void OnLocationKept(const QStringList& names) override
    {
        Post([names](CUploadDlg* p) {
            ShowInformation(p,
                QStringLiteral("Из этих файлов, отправленных без изменений, не удалось удалить место "
                               "съёмки (GPS):\n\n")
                    + names.join(u'\n'),
                QStringLiteral("Vellmar"));
        });
    }
    void OnFinished(bool completed, const QString& summary) override
    {
        Post([completed, summary](CUploadDlg* p) {
            if (completed)
                p->RunCompleted(summary);
            p->Finish();
        });
    }

private:
    template<class F> void Post(F&& f) { PostToRun(m_page, m_run, std::forward<F>(f)); }

    QPointer<CUploadDlg> m_page;
    int m_run;
};

CUploadDlg::CUploadDlg(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("104"));

    // The status line and the progress bar are laid out by the group box itself, so that they
    // keep clear of its title and frame whatever the style and the scale.
    auto* group = new QGroupBox(QStringLiteral("Загрузка файлов на сервер"), this);
    PlaceControl(group, 0, {6, 4, 375, 49});
    auto* inGroup = new QVBoxLayout(group);
    m_statusLine = new QLabel(QStringLiteral("Загрузка"), group);
    m_statusLine->setObjectName(QStringLiteral("1050"));
    m_progress = new QProgressBar(group);
    m_progress->setObjectName(QStringLiteral("1049"));
    m_progress->setTextVisible(false);
    m_progress->setValue(0);
    // The group keeps its place whatever the texts: a long status is cut, not widening it.
    inGroup->setSizeConstraint(QLayout::SetNoConstraint);
    m_statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    inGroup->addWidget(m_statusLine);
    inGroup->addWidget(m_progress);
    inGroup->activate();

    MakeLabel(this, 0, QStringLiteral("Тип кода:"), {12, 60, 40, 8});
    m_codeType = new QComboBox(this);
    PlaceControl(m_codeType, 1025, {53, 57, 206, 13});
    m_codeType->addItems(CodeTypeLabels());

    MakeLabel(this, 0, QStringLiteral("Картинок в строке:"), {268, 59, 74, 8});
    m_perRow = MakeEdit(this, 1040, {342, 57, 22, 13});
    m_perRow->setText(QStringLiteral("4"));
    auto* upDown = new CUpDown(m_perRow, 1, 100, this);
    upDown->setObjectName(QStringLiteral("1083"));

    m_code = new QPlainTextEdit(this);
    PlaceControl(m_code, 1051, kCodeBox);
    m_code->setReadOnly(true);
    m_code->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The caret shows where the focus is, and the keys select as they do in any text.
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // The files that did not go up, each with its reason, on the page itself once a run ends.
    m_failures = new QTreeWidget(this);
    PlaceControl(m_failures, 0, kFailureList);
    m_failures->setHeaderLabels({QStringLiteral("Не загружен"), QStringLiteral("Причина")});
    m_failures->setRootIsDecorated(false);
    m_failures->setSelectionMode(QAbstractItemView::NoSelection);
    m_failures->header()->setStretchLastSection(true);
    m_failures->setColumnWidth(0, m_failures->width() / 3);
    m_failures->hide();

    QPushButton* copy = MakeButton(this, 1071, QStringLiteral("Копировать всё"), {15, 218, 71, 14});
    m_retry = MakeButton(this, 0, QStringLiteral("Повторить неудачные"), {92, 218, 90, 14});
    m_retry->hide();
    QPushButton* history = MakeButton(this, 0, QStringLiteral("История загрузок"), {300, 218, 75, 14});

    if (WizardDlg)
        m_codeType->setCurrentIndex(static_cast<int>(WizardDlg->WizardSettings().upload.Codetype));

    connect(m_codeType, &QComboBox::currentIndexChanged, this, &CUploadDlg::GenerateCode);
    connect(m_perRow, &QLineEdit::textChanged, this, &CUploadDlg::GenerateCode);
    connect(copy, &QPushButton::clicked, this, &CUploadDlg::CopyAll);
    connect(m_retry, &QPushButton::clicked, this, &CUploadDlg::RetryFailed);
    connect(history, &QPushButton::clicked, this, [this] {
        if (WizardDlg)
            WizardDlg->ShowHistory();
    });
}

CUploadDlg::~CUploadDlg()
{
    // The program is closing: abort the transfer in flight and give the worker a while to end;
    // one still preparing a huge picture after that is left to end on its own.
    if (m_run)
        m_run->abort = true;
    m_worker.StopWithin(kExitWait);
}

bool CUploadDlg::OnShow()
{
    StartRun(true);
    return true;
}

QString CUploadDlg::HeaderCaption() const
{
    return QStringLiteral("Загрузка файлов на сервер");
}

void CUploadDlg::StartRun(bool fresh)
{
    // A worker given up by a forced end may still be finishing its file; it ends on its own
    // while the new run starts, never holding up the window.
    if (m_worker.IsRunning())
        m_worker.Abandon();

    auto run = std::make_shared<RunState>();
    run->id = ++m_runId;
    QString serviceProblem;
    if (WizardDlg) {
        MadeUploadJob made = MakeUploadJob(WizardDlg->WizardSettings(), WizardDlg->FileListPaths(),
            WizardDlg->Temp(), ServiceCatalog::Load());
        run->job = std::move(made.job);
        run->job.log = WizardDlg->UploadHistory();
        serviceProblem = made.error;
    }
    m_run = run;
    if (fresh) {
        Results.clear();
        m_resultPlaces.clear();
        m_place.clear();
        for (int i = 0; i < run->job.files.size(); ++i)
            m_place << i;
        m_codeText.clear();
        m_code->setPlainText(QString());
    }
    Failures.clear();
    m_failedRows.clear();
    m_reasons.clear();
    m_failures->clear();
    ShowFailures(false);
    m_filesDone = 0;
    m_uploadedInRun = 0;
    m_statusLine->setToolTip(QString());

    EnablePrev(false);
    EnableNext(true);
    EnableExit(false);
    SetNextCaption(QStringLiteral("Остановить"));
    m_template = LoadTemplate(TemplatePath);
    if (!m_template.Problem.isEmpty())
        qWarning("Vellmar: %s", qPrintable(m_template.Problem));

    m_uploading = true;
    StopPressed = false;
    if (!serviceProblem.isEmpty()) {
        // The files stay in the list for a run with another service.
        ShowMessage(this, QStringLiteral("Cannot select uploading engine\n\n") + serviceProblem, QString());
        Finish();
    } else if (!m_worker.Start(run)) {
        Finish();
    }
}

void CUploadDlg::RetryFailed()
{
    if (m_uploading || m_failedRows.isEmpty() || !WizardDlg)
        return;
    QList<int> places;
    for (const int row : std::as_const(m_failedRows))
        places << m_place.value(row, row);
    WizardDlg->KeepInFileList(m_failedRows);
    m_place = places;
    StartRun(false);
}

int CUploadDlg::ThreadProc(std::stop_token stop, std::shared_ptr<RunState> run)
{
    const std::stop_callback stopping(stop, [run] { run->stop = true; });
    Listener listener(QPointer<CUploadDlg>(this), run->id);
    RunUpload(run->job, listener, &run->stop, &run->abort);
    return 0;
}

bool CUploadDlg::OnNext()
{
    if (m_uploading) {
        m_worker.RequestStop();
        StopCountdown = kStopSeconds;
        if (StopPressed) {
            ForceEnd();
        } else {
            m_countdown.start(1000, this);
            StopPressed = true;
        }
        return false;
    }
    if (WizardDlg) {
        Settings& settings = WizardDlg->WizardSettings();
        settings.upload.Codetype
            = CodeTypeOf(m_codeType->currentIndex()).value_or(CodeType::BbThumbnailTable);
        WizardDlg->SaveSettings(SettingsGroup::Upload);
        // What failed stays in the list for another try; what went up leaves it.
        if (m_failedRows.isEmpty())
            WizardDlg->ClearFileList();
        else
            WizardDlg->KeepInFileList(m_failedRows);
        m_failedRows.clear();
    }
    EnableExit(true);
    return true;
}

void CUploadDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_countdown.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (--StopCountdown <= 0)
        ForceEnd();
    else
        SetNextCaption(QStringLiteral("Остановить (%1)").arg(StopCountdown));
}

void CUploadDlg::ForceEnd()
{
    // Threads are never killed: abort the transfer, forget the run, and let the worker end by
    // itself moments later. Its remaining reports are dropped.
    if (m_run)
        m_run->abort = true;
    m_worker.RequestStop();
    ++m_runId;
    Finish();
}

void CUploadDlg::Finish()
{
    m_countdown.stop();
    SetNextCaption(QStringLiteral("Завершить >"));
    StopPressed = false;
    m_uploading = false;
    EnablePrev(true);
    EnableNext(true);
    EnableExit(true);
    ShowFailures(!m_failedRows.isEmpty());
}

void CUploadDlg::GenerateCode()
{
    m_codeText = ::GenerateCode(
        Results, CodeTypeOf(m_codeType->currentIndex()), ImagesPerRow(m_perRow->text()), m_template);
    m_code->setPlainText(m_codeText);
}

void CUploadDlg::SetStatus(const QString& text)
{
    m_statusLine->setText(text);
}

void CUploadDlg::AddResult(const UploadResult& result)
{
    // The report comes before the file is counted as handled; a retried file takes its place
    // among the files that went up before.
    const int place = m_place.value(m_filesDone, m_filesDone);
    const auto at = std::upper_bound(m_resultPlaces.begin(), m_resultPlaces.end(), place);
    const qsizetype index = at - m_resultPlaces.begin();
    m_resultPlaces.insert(index, place);
    Results.insert(index, result);
    ++m_uploadedInRun;
    GenerateCode();
}

void CUploadDlg::NoteFailure(int index, const QString& reason)
{
    const QString name = FileNameOf(m_run ? m_run->job.files.value(index) : QString());
    const QString words = RussianReason(reason);
    Failures << QStringLiteral("%1: %2").arg(name, words);
    m_failedRows << index;
    m_reasons << reason;
    auto* row = new QTreeWidgetItem(m_failures, {name, words});
    row->setToolTip(0, m_run ? m_run->job.files.value(index) : QString());
    row->setToolTip(1, words);
    SetStatus(QStringLiteral("Не загружен \"%1\": %2").arg(name, words));
    m_statusLine->setToolTip(Failures.join(u'\n'));
}

void CUploadDlg::RunCompleted(const QString& summary)
{
    GenerateCode();
    const int count = m_run ? int(m_run->job.files.size()) : 0;
    // One reason for every file, typically the network: said at once, where the user looks.
    if (m_uploadedInRun == 0 && count > 0 && m_reasons.size() == count
        && m_reasons.count(m_reasons.first()) == count) {
        SetStatus(count == 1 ? QStringLiteral("Файл не загружен: %1.").arg(RussianReason(m_reasons.first()))
                             : QStringLiteral("Ни один из %1 файлов не загружен: %2.")
                                   .arg(count)
                                   .arg(RussianReason(m_reasons.first())));
    } else {
        SetStatus(summary);
    }
}

void CUploadDlg::ShowFailures(bool shown)
{
    PlaceControl(m_code, 1051, shown ? kCodeBoxAboveFailures : kCodeBox);
    m_failures->setVisible(shown);
    m_retry->setVisible(shown);
}

QString CUploadDlg::StatusText() const
{
    return m_statusLine->text();
}

void CUploadDlg::CopyAll()
{
    // The generated text itself: the box shows line breaks its own way, the paste target
    // should get the code's CR LF pairs.
    QGuiApplication::clipboard()->setText(m_codeText);
}
