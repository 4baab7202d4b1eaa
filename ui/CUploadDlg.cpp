// SPDX-License-Identifier: MIT
#include "ui/CUploadDlg.h"

#include "app/core/PostToRun.h"
#include "settings/IniFile.h"
#include "settings/Paths.h"
#include "ui/kit/CUpDown.h"
#include "ui/kit/Controls.h"
#include "ui/kit/MessageBoxes.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimerEvent>

namespace {

constexpr int kStopSeconds = 5;
// At exit, how long a worker may take to end before it is left to end on its own.
constexpr int kExitWaitMs = 10000;

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
        Post([position](CUploadDlg* p) { p->m_progress->setValue(position); });
    }
    void OnStatus(const QString& text) override
    {
        Post([text](CUploadDlg* p) { p->SetStatus(text); });
    }
    void OnResult(const UploadResult& result) override
    {
        Post([result](CUploadDlg* p) {
            p->Results.append(result);
            p->GenerateCode();
        });
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
            if (completed) {
                p->GenerateCode();
                p->SetStatus(summary);
            }
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
    , TemplatePath(DefaultTemplatePath())
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("104"));

    auto* group = new QGroupBox(QStringLiteral("Загрузка файлов на сервер"), this);
    PlaceControl(group, 0, {6, 4, 375, 49});
    m_statusLine = MakeLabel(this, 1050, QStringLiteral("Загрузка"), {22, 15, 347, 12});
    m_progress = new QProgressBar(this);
    PlaceControl(m_progress, 1049, {19, 30, 347, 11});
    m_progress->setTextVisible(false);
    m_progress->setValue(0);

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
    PlaceControl(m_code, 1051, {6, 76, 375, 139});
    m_code->setReadOnly(true);
    m_code->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    QPushButton* copy = MakeButton(this, 1071, QStringLiteral("Копировать всё"), {15, 218, 71, 14});
    // The summary only counts the errors; this names each file that did not go up, and why.
    m_failuresButton = MakeButton(this, 0, QStringLiteral("Ошибки..."), {92, 218, 71, 14});
    m_failuresButton->hide();

    if (WizardDlg)
        m_codeType->setCurrentIndex(static_cast<int>(WizardDlg->WizardSettings().upload.Codetype));

    connect(m_codeType, &QComboBox::currentIndexChanged, this, &CUploadDlg::GenerateCode);
    connect(m_perRow, &QLineEdit::textChanged, this, &CUploadDlg::GenerateCode);
    connect(copy, &QPushButton::clicked, this, &CUploadDlg::CopyAll);
    connect(m_failuresButton, &QPushButton::clicked, this, [this] {
        ShowWarning(
            this, QStringLiteral("Не загружены:\n\n") + Failures.join(u'\n'), QStringLiteral("Vellmar"));
    });
}

CUploadDlg::~CUploadDlg()
{
    // The program is closing: abort the transfer in flight and give the worker a while to end;
    // one still preparing a huge picture after that is left to end on its own.
    if (m_run)
        m_run->abort = true;
    m_worker.RequestStop();
    QElapsedTimer waited;
    waited.start();
    while (m_worker.IsRunning() && waited.elapsed() < kExitWaitMs)
        QThread::msleep(10);
    if (m_worker.IsRunning())
        m_worker.Abandon();
    else
        m_worker.Stop();
}

bool CUploadDlg::OnShow()
{
    // A worker given up by a forced end may still be finishing its file; it ends on its own
    // while the new run starts, never holding up the window.
    if (m_worker.IsRunning())
        m_worker.Abandon();

    auto run = std::make_shared<RunState>();
    run->id = ++m_runId;
    QString serviceProblem;
    if (WizardDlg) {
        const Settings& settings = WizardDlg->WizardSettings();
        run->job.files = WizardDlg->FileListPaths();
        run->job.main = settings.main;
        run->job.appearance = settings.appearance;
        run->job.servers = settings.servers;
        run->job.temp = WizardDlg->Temp();
        const ChosenService chosen = ChooseService(settings.main.Main, ServiceCatalog::Load());
        run->job.profile = chosen.profile;
        if (chosen.builtIn)
            run->job.main.Main.ServerID = *chosen.builtIn;
        serviceProblem = chosen.error;
    }
    m_run = run;
    Results.clear();
    Failures.clear();
    m_failuresButton->hide();
    m_statusLine->setToolTip(QString());
    m_codeText.clear();
    m_code->setPlainText(QString());

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
    return true;
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
        if (const IoResult saved = SaveSettings(WizardDlg->IniPath(), settings, SettingsGroup::Upload);
            !saved)
            qWarning("Vellmar: %s", qPrintable(saved.error));
        WizardDlg->ClearFileList();
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

void CUploadDlg::NoteFailure(int index, const QString& reason)
{
    const QString name = FileNameOf(m_run ? m_run->job.files.value(index) : QString());
    Failures << QStringLiteral("%1: %2").arg(name, reason);
    SetStatus(QStringLiteral("Не загружен \"%1\": %2").arg(name, reason));
    m_statusLine->setToolTip(Failures.join(u'\n'));
    m_failuresButton->show();
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
