// SPDX-License-Identifier: MIT
#include "ui/CUploadDlg.h"

#include "settings/IniFile.h"
#include "settings/Paths.h"
#include "ui/CMainDlg.h"
#include "ui/widgets/CThumbsView.h"
#include "ui/wizard/CUpDown.h"
#include "ui/wizard/Dlu.h"
#include "ui/wizard/MessageBoxes.h"

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>

namespace {

constexpr int kStopSeconds = 5;

int ValidCodeType(int type)
{
    return type < 0 || type >= kCodeTypeCount ? 0 : type;
}

} // namespace

// Carries the worker's reports to the page. Every call is queued to the user-interface thread
// and dropped there when it belongs to a run the page has already given up.
class CUploadDlg::Listener : public UploadListener
{
public:
    Listener(CUploadDlg* page, int run)
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
    template<class F> void Post(F&& f)
    {
        const int run = m_run;
        CUploadDlg* page = m_page;
        QMetaObject::invokeMethod(
            page,
            [page, run, f = std::forward<F>(f)] {
                if (page->m_run == run)
                    f(page);
            },
            Qt::QueuedConnection);
    }

    CUploadDlg* m_page;
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
    group->setGeometry(DluRect(6, 4, 375, 49));
    m_statusLine = new QLabel(QStringLiteral("Загрузка"), this);
    m_statusLine->setObjectName(QStringLiteral("1050"));
    m_statusLine->setGeometry(DluRect(22, 15, 347, 12));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("1049"));
    m_progress->setGeometry(DluRect(19, 30, 347, 11));
    m_progress->setTextVisible(false);
    m_progress->setValue(0);

    auto* typeLabel = new QLabel(QStringLiteral("Тип кода:"), this);
    typeLabel->setGeometry(DluRect(12, 60, 40, 8));
    m_codeType = new QComboBox(this);
    m_codeType->setObjectName(QStringLiteral("1025"));
    m_codeType->setGeometry(DluRect(53, 57, 206, 13));
    m_codeType->addItems(CodeTypeLabels());

    auto* rowLabel = new QLabel(QStringLiteral("Картинок в строке:"), this);
    rowLabel->setGeometry(DluRect(268, 59, 74, 8));
    m_perRow = new QLineEdit(QStringLiteral("4"), this);
    m_perRow->setObjectName(QStringLiteral("1040"));
    m_perRow->setGeometry(DluRect(342, 57, 22, 13));
    auto* upDown = new CUpDown(m_perRow, 1, 100, this);
    upDown->setObjectName(QStringLiteral("1083"));

    m_code = new QPlainTextEdit(this);
    m_code->setObjectName(QStringLiteral("1051"));
    m_code->setGeometry(DluRect(6, 76, 375, 139));
    m_code->setReadOnly(true);
    m_code->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto* copy = new QPushButton(QStringLiteral("Копировать всё"), this);
    copy->setObjectName(QStringLiteral("1071"));
    copy->setGeometry(DluRect(15, 218, 71, 14));
    // The summary only counts the errors; this names each file that did not go up, and why.
    m_failuresButton = new QPushButton(QStringLiteral("Ошибки..."), this);
    m_failuresButton->setGeometry(DluRect(92, 218, 71, 14));
    m_failuresButton->hide();

    int codeType = 0;
    if (WizardDlg)
        ReadIniValue(WizardDlg->IniPath(), u"Upload.Codetype", codeType, 0);
    m_codeType->setCurrentIndex(ValidCodeType(codeType));

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
    // The program is closing: abort the transfer in flight and wait; the worker never waits on us.
    m_abort = true;
    Stop();
}

bool CUploadDlg::OnShow()
{
    // A worker given up by a forced end may still be aborting its transfer.
    m_abort = true;
    Stop();
    m_abort = false;

    auto* list = WizardDlg ? dynamic_cast<CMainDlg*>(WizardDlg->Page(kFileListPage)) : nullptr;
    m_job.files = list ? list->FileList : QStringList();
    if (WizardDlg) {
        const Settings& settings = WizardDlg->WizardSettings();
        m_job.main = settings.main;
        m_job.appearance = settings.appearance;
        m_job.servers = settings.servers;
        m_job.temp = WizardDlg->Temp();
    }
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

    ++m_run;
    m_uploading = true;
    StopPressed = false;
    if (!Start())
        Finish();
    return true;
}

int CUploadDlg::ThreadProc()
{
    Listener listener(this, m_run);
    RunUpload(m_job, listener, StopFlag(), &m_abort);
    return 0;
}

bool CUploadDlg::OnNext()
{
    if (m_uploading) {
        RequestStop();
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
        const int codeType = ValidCodeType(m_codeType->currentIndex());
        WriteIniValue(WizardDlg->IniPath(), u"Upload.Codetype", codeType);
        if (auto* list = dynamic_cast<CMainDlg*>(WizardDlg->Page(kFileListPage)))
            list->View()->Clear();
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
    m_abort = true;
    ++m_run;
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
    m_codeText
        = ::GenerateCode(Results, m_codeType->currentIndex(), ImagesPerRow(m_perRow->text()), m_template);
    m_code->setPlainText(m_codeText);
}

void CUploadDlg::SetStatus(const QString& text)
{
    m_statusLine->setText(text);
}

void CUploadDlg::NoteFailure(int index, const QString& reason)
{
    const QString name = FileNameOf(m_job.files.value(index));
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
