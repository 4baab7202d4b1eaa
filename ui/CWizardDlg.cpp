// SPDX-License-Identifier: MIT
#include "ui/CWizardDlg.h"

#include "capture/CScreenshotDlg.h"
#include "history/HistoryLog.h"
#include "imaging/TempFolder.h"
#include "settings/Paths.h"
#include "settings/SettingsLocation.h"
#include "ui/About.h"
#include "ui/Artwork.h"
#include "ui/CHistoryWindow.h"
#include "ui/DropRoute.h"
#include "ui/HistoryModel.h"
#include "ui/ServiceInstall.h"
#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/MessageBoxes.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CUploadDlg.h"
#include "ui/pages/CUploadSettings.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/pages/CWelcomeDlg.h"
#include "ui/widgets/CThumbsView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace {

// Room for a title bar and borders the window manager has not reported yet.
constexpr int kGuessedTitleBar = 30;
constexpr int kGuessedBorder = 4;

} // namespace

std::shared_ptr<UploadLog> CWizardDlg::UploadHistory()
{
    if (!m_history) {
        // Called on the log's thread; the frame may be gone by the time the notice arrives.
        const QPointer<CWizardDlg> frame(this);
        m_history = std::make_shared<HistoryLog>(
            HistoryPathFor(m_settings.Path()),
            [frame](const QString& notice) {
                QMetaObject::invokeMethod(qApp, [frame, notice] {
                    if (frame)
                        frame->TellHistoryNotice(notice);
                });
            },
            [frame] {
                // A history window open during the run shows each file as it is written.
                QMetaObject::invokeMethod(qApp, [frame] {
                    if (frame && frame->m_historyWindow)
                        frame->m_historyWindow->Model()->TakeNewer();
                });
            });
    }
    return m_history;
}

void CWizardDlg::ShowHistory()
{
    if (!m_historyWindow) {
        // Rows still on their way in are in the window when it opens.
        if (m_history)
            m_history->Flush();
        m_historyWindow = new CHistoryWindow(
            HistoryPathFor(m_settings.Path()), WizardSettings().upload.Codetype,
            TemplatePathFor(m_settings.Path()), [this](const QString& notice) { TellHistoryNotice(notice); },
            this);
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void CWizardDlg::TellHistoryNotice(const QString& notice)
{
    if (m_historyNoticeShown)
        return;
    m_historyNoticeShown = true;
    ShowWarning(this, notice, QStringLiteral("История загрузок"));
}

CWizardDlg::CWizardDlg(SettingsStore& settings, std::shared_ptr<TempFolder> temp, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_temp(temp ? std::move(temp) : std::make_shared<TempFolder>())
{
    setObjectName(QStringLiteral("108"));
    setWindowTitle(QStringLiteral("Vellmar"));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(DluX(385), DluY(290));
    setAcceptDrops(true);
    setFont(DialogFont());
    setAttribute(Qt::WA_WindowPropagation); // the dialogs it owns too

    m_header = new QLabel(this);
    PlaceControl(m_header, 1084, {0, 0, 15, 13});
    m_header->hide();

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(DluX(0), DluY(269), DluX(423), 2);

    m_about = MakeButton(this, kAboutButton, QStringLiteral("О программе..."), {6, 273, 79, 14});
    m_back = MakeButton(this, kPrevButton, QStringLiteral("< Назад"), {159, 273, 65, 14});
    m_next = MakeButton(this, kNextButton, QStringLiteral("Далее >"), {235, 273, 62, 14});
    m_exit = MakeButton(this, kExitButton, QStringLiteral("Выход"), {323, 273, 57, 14});
    // Enter means Next wherever the focus is, never another of the frame's buttons.
    for (QPushButton* button : {m_about, m_back, m_next, m_exit})
        button->setAutoDefault(false);
    m_next->setDefault(true);

    connect(m_about, &QPushButton::clicked, this, &CWizardDlg::OnAbout);
    connect(m_back, &QPushButton::clicked, this, &CWizardDlg::OnBack);
    connect(m_next, &QPushButton::clicked, this, &CWizardDlg::OnNext);
    connect(m_exit, &QPushButton::clicked, this, &CWizardDlg::OnExit);

    ShowPage(kWelcomePage, -1, -1);
}

CWizardDlg::~CWizardDlg() = default;

CWizardPage* CWizardDlg::Page(int index) const
{
    return index >= 0 && index < kPageCount ? m_pages[index] : nullptr;
}

bool CWizardDlg::CreatePage(int index)
{
    if (index < 0 || index >= kPageCount)
        return false;
    if (m_pages[index])
        return true;

    QWidget* widget = nullptr;
    CWizardPage* page = nullptr;
    switch (index) {
    case kWelcomePage:
        page = new CWelcomeDlg(this, this);
        break;
    case kVideoPage:
        page = m_video = new CVideoGrabber(this, this);
        break;
    case kFileListPage:
        page = m_fileList = new CMainDlg(this, this);
        break;
    case kUploadSettingsPage:
        page = new CUploadSettings(this, this);
        break;
    case kUploadPage: {
        auto* upload = new CUploadDlg(this, this);
        upload->TemplatePath = TemplatePathFor(m_settings.Path());
        page = upload;
        break;
    }
    }
    m_pages[index] = page;
    widget = page->PageWnd;
    page->HeaderBitmap = HeaderBand(page->HeaderCaption(), QSize(width(), kHeaderHeight));
    if (!page->HeaderBitmap.isNull()) {
        widget->setGeometry(0, kHeaderHeight, width(), kHeaderPageHeight);
    } else {
        widget->move(0, 0);
        widget->resize(qMin(widget->width(), width()), qMin(widget->height(), DluY(269)));
    }
    widget->hide();
    // Tab reads the page first and the button row below it last, whichever page was made last.
    QWidget* last = widget;
    for (QWidget* w = widget->nextInFocusChain(); w != widget && widget->isAncestorOf(w);
         w = w->nextInFocusChain())
        last = w;
    for (QPushButton* button : {m_about, m_back, m_next, m_exit}) {
        setTabOrder(last, button);
        last = button;
    }
    return true;
}

void CWizardDlg::ShowPage(int index, int backTarget, int nextTarget)
{
    if (index == CurPage)
        return;
    if (!CreatePage(index))
        return;
    if (CWizardPage* current = Page(CurPage)) {
        current->OnHide();
        current->PageWnd->hide();
    }
    CWizardPage* page = m_pages[index];
    m_next->setText(page->NextCaption());
    if (!page->HeaderBitmap.isNull()) {
        m_header->setPixmap(page->HeaderBitmap);
        m_header->resize(page->HeaderBitmap.deviceIndependentSize().toSize());
        m_header->show();
    } else {
        m_header->hide();
    }
    page->PageWnd->show();
    FocusFirstControl(page->PageWnd);
    page->OnShow();
    m_about->setVisible(page->ShowsAbout());

    PrevPage = backTarget;
    NextPage = nextTarget;
    CurPage = index;
}

void CWizardDlg::OnBack()
{
    int target = PrevPage;
    if (target < 0) {
        target = CurPage - 1;
        if (target < 0 || target == kVideoPage)
            target = kWelcomePage;
    }
    ShowPage(target, -1, -1);
    PrevPage = -1;
}

void CWizardDlg::OnNext()
{
    if (CWizardPage* current = Page(CurPage); current && !current->OnNext())
        return;
    int target = NextPage;
    if (target < 0) {
        target = CurPage + 1;
        if (target >= kPageCount)
            target = kWelcomePage;
        else if (target == kVideoPage)
            target = kFileListPage;
    }
    ShowPage(target, -1, -1);
    NextPage = -1;
}

void CWizardDlg::OnExit()
{
    if (m_closing)
        return;
    if (CurPage != kWelcomePage && CurPage != kUploadPage
        && !AskYesNo(
            this, QStringLiteral("Вы действительно хотите выйти из Vellmar?"), QStringLiteral("Vellmar")))
        return;
    if (const IoResult saved = SaveSettings(SettingsGroup::AtExit); !saved) {
        ShowWarning(this,
            QStringLiteral(
                "Не удалось сохранить настройки (%1). Прежний файл настроек остался без изменений.")
                .arg(saved.error),
            QStringLiteral("Vellmar"));
    }
    CloseWizard(kNormalExitCode);
}

void CWizardDlg::CloseWizard(int exitCode)
{
    m_closing = true;
    if (CWizardPage* current = Page(CurPage))
        current->OnHide();
    hide();
    emit wizardClosed(exitCode);
}

void CWizardDlg::OnAbout()
{
    CAboutDlg about(QApplication::activeWindow() ? QApplication::activeWindow() : this);
    about.exec();
}

void CWizardDlg::setVisible(bool visible)
{
    // Placed before the window exists: then the position is that of the frame the window
    // manager adds, title bar included, not that of the window inside it.
    if (visible && !m_placed) {
        m_placed = true;
        PlaceOnScreen();
    }
    QDialog::setVisible(visible);
}

void CWizardDlg::PlaceOnScreen()
{
    const QScreen* shown = QGuiApplication::primaryScreen();
    if (!shown)
        return;
    const QRect area = shown->availableGeometry();
    // The frame the window manager adds is known only once it has drawn one; until then a
    // title bar is assumed, so that it never ends up above the screen.
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        frame = QMargins(kGuessedBorder, kGuessedTitleBar, kGuessedBorder, kGuessedBorder);
    const QSize outer = size().grownBy(frame);
    QPoint topLeft(
        area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
    // A window larger than the area keeps its title bar and its left edge on the screen.
    topLeft.setX(std::max(topLeft.x(), area.x()));
    topLeft.setY(std::max(topLeft.y(), area.y()));
    move(topLeft);
}

void CWizardDlg::reject()
{
    OnExit();
}

void CWizardDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    OnExit();
}

QPushButton* CWizardDlg::ButtonOf(WizardButton button) const
{
    switch (button) {
    case kExitButton:
        return m_exit;
    case kPrevButton:
        return m_back;
    case kNextButton:
        return m_next;
    case kAboutButton:
        return m_about;
    }
    return nullptr;
}

void CWizardDlg::EnableButton(WizardButton button, bool enable)
{
    if (QPushButton* b = ButtonOf(button))
        b->setEnabled(enable);
}

void CWizardDlg::ShowButton(WizardButton button, bool show)
{
    if (QPushButton* b = ButtonOf(button))
        b->setVisible(show);
}

void CWizardDlg::SetNextCaption(const QString& text)
{
    m_next->setText(text);
}

Screenshot CWizardDlg::TakeScreenshot(QWidget* page)
{
    const Screenshot shot = ::TakeScreenshot(this, page, WizardSettings().screenshot, *m_temp);
    if (!shot.path.isEmpty()) {
        WizardSettings().screenshot = shot.values;
        SaveSettings(SettingsGroup::Screenshot);
    }
    return shot;
}

IoResult CWizardDlg::SaveSettings(SettingsGroup group)
{
    const IoResult saved = m_settings.Save(group);
    if (!saved)
        qWarning("Vellmar: %s", qPrintable(saved.error));
    return saved;
}

QString CWizardDlg::AddToFileList(const QString& path)
{
    if (!CreatePage(kFileListPage))
        return QStringLiteral("нет списка файлов");
    return m_fileList->AddToList(path);
}

void CWizardDlg::StartFileListLoader()
{
    if (m_fileList)
        m_fileList->View()->StartLoader();
}

QStringList CWizardDlg::FileListPaths() const
{
    return m_fileList ? m_fileList->FileList.Paths() : QStringList();
}

void CWizardDlg::ClearFileList()
{
    if (m_fileList)
        m_fileList->View()->Clear();
}

void CWizardDlg::KeepInFileList(const QList<int>& rows)
{
    if (!m_fileList)
        return;
    for (int row = m_fileList->FileList.Count() - 1; row >= 0; --row) {
        if (!rows.contains(row))
            m_fileList->View()->RemoveItem(row);
    }
}

void CWizardDlg::SetVideoFile(const QString& path)
{
    if (CreatePage(kVideoPage))
        m_video->SetVideoFile(path);
}

void CWizardDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CWizardDlg::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    DropFiles(paths);
}

void CWizardDlg::DropFiles(const QStringList& dropped)
{
    const QList<DroppedFile> route = RouteDrop(dropped, CurPage);
    QStringList services;
    for (const DroppedFile& file : route) {
        if (file.action == DropAction::AddService)
            services << file.path;
    }
    if (!services.isEmpty())
        AddServices(services);
    bool addedPicture = false;
    QStringList refused;
    for (const DroppedFile& file : route) {
        switch (file.action) {
        case DropAction::ToFileList:
            if (const QString why = AddToFileList(file.path); !why.isEmpty())
                refused << FileNameOf(file.path) + QStringLiteral(" — ") + why;
            ShowPage(kFileListPage, -1, -1);
            addedPicture = true;
            break;
        case DropAction::OpenVideo:
            ShowPage(kVideoPage, CurPage, Page(kFileListPage) ? kFileListPage : kUploadSettingsPage);
            SetVideoFile(file.path);
            break;
        case DropAction::Refuse:
            refused << FileNameOf(file.path) + QStringLiteral(" — не изображение и не видео");
            break;
        case DropAction::AddService:
        case DropAction::Ignore:
            break;
        }
    }
    if (addedPicture)
        StartFileListLoader();
    ShowRefusedFiles(this, refused);
}

void CWizardDlg::AddServices(const QStringList& files)
{
    const ServiceInstallNotice notice = InstallServiceFiles(files);
    if (!notice.added.isEmpty()) {
        // The settings page lists the new services at once.
        if (CurPage == kUploadSettingsPage)
            Page(kUploadSettingsPage)->OnShow();
        ShowMessage(this, notice.added, QStringLiteral("Vellmar"));
    }
    if (!notice.refused.isEmpty())
        ShowWarning(this, notice.refused, QStringLiteral("Vellmar"));
}
