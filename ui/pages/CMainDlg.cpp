// SPDX-License-Identifier: MIT
#include "ui/pages/CMainDlg.h"

#include "capture/CScreenshotDlg.h"
#include "imaging/SaveToTemp.h"
#include "imaging/TempFolder.h"
#include "settings/Paths.h"
#include "ui/FileProperties.h"
#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/MessageBoxes.h"
#include "ui/pages/Pickers.h"
#include "ui/widgets/CImageView.h"
#include "ui/widgets/CThumbsView.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

CMainDlg::CMainDlg(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
    , ImagePicker(ImagePickerOf(frame))
    , VideoPicker(VideoPickerOf(frame))
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("129"));
    if (frame) {
        ScreenshotTaker = [frame](CMainDlg* page) { return frame->TakeScreenshot(page); };
    }
    resize(DluX(433), DluY(266));

    auto* add = MakeButton(this, 1000, QStringLiteral("Добавить изображения"), {4, 4, 95, 14});
    auto* video = MakeButton(this, 1001, QStringLiteral("Импорт видео файла"), {107, 4, 89, 14});
    auto* shot = MakeButton(this, 1058, QStringLiteral("Сделать снимок экрана"), {206, 4, 102, 14});
    // Made in reading order, which is the order of the Tab key: the list before the buttons below it.
    m_view = new CThumbsView(this);
    PlaceControl(m_view, 1002, {4, 23, 377, 224});
    m_view->Init(&FileList);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* remove = MakeButton(this, 1089, QStringLiteral("Удалить из списка"), {4, 249, 79, 14});
    auto* properties = MakeButton(this, 1080, QStringLiteral("Свойства"), {96, 249, 50, 14});

    connect(add, &QPushButton::clicked, this, &CMainDlg::OnAddImages);
    connect(video, &QPushButton::clicked, this, &CMainDlg::OnImportVideo);
    connect(shot, &QPushButton::clicked, this, &CMainDlg::OnScreenshot);
    connect(remove, &QPushButton::clicked, this, &CMainDlg::OnRemove);
    connect(properties, &QPushButton::clicked, this, &CMainDlg::OnProperties);
    // However items leave or come (the buttons, the view's keys and mouse, a Clear), Next follows.
    connect(&FileList, &QAbstractItemModel::rowsRemoved, this, &CMainDlg::UpdateNext);
    connect(&FileList, &QAbstractItemModel::rowsInserted, this, &CMainDlg::UpdateNext);
    connect(&FileList, &QAbstractItemModel::modelReset, this, &CMainDlg::UpdateNext);
    connect(m_view, &QWidget::customContextMenuRequested, this, &CMainDlg::OnContextMenu);
    m_paste = new QAction(QStringLiteral("Вставить"), this);
    m_paste->setObjectName(QStringLiteral("paste"));
    m_paste->setShortcut(QKeySequence::Paste);
    m_paste->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(m_paste);
    connect(m_paste, &QAction::triggered, this, &CMainDlg::OnPaste);
    shot->setEnabled(static_cast<bool>(ScreenshotTaker));
}

CMainDlg::~CMainDlg() = default;

bool CMainDlg::OnShow()
{
    ShowPrev(true);
    ShowNext(true);
    EnablePrev(true);
    EnableExit(true);
    UpdateNext();
    m_view->StartLoader();
    return true;
}

bool CMainDlg::OnHide()
{
    m_view->RequestStop();
    return false;
}

QString CMainDlg::AddToList(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("нет имени файла");
    if (!IsImageFile(path))
        return QStringLiteral(
            "не изображение (подходят файлы JPEG, PNG, GIF, BMP, TIFF, WebP, HEIC, AVIF и JPEG XL)");
    const QFileInfo info(path);
    // Only regular files: a folder named "x.jpg" or a missing file would only fail later.
    if (!info.exists())
        return QStringLiteral("файл не найден");
    if (!info.isFile())
        return info.isDir() ? QStringLiteral("это папка") : QStringLiteral("это не обычный файл");
    if (info.size() == 0)
        return QStringLiteral("файл пуст");
    m_view->AddFile(path, FileNameOf(path));
    return {};
}

void CMainDlg::OnAddImages()
{
    const QStringList files = ImagePicker ? ImagePicker(this) : QStringList();
    const QStringList refused = WizardDlg ? WizardDlg->AddFilesToList(files) : QStringList();
    m_view->StartLoader();
    ShowRefusedFiles(this, refused);
}

void CMainDlg::OnImportVideo()
{
    const QString file = VideoPicker ? VideoPicker(window()) : QString();
    if (file.isEmpty() || !WizardDlg || !WizardDlg->CreatePage(kVideoPage))
        return;
    WizardDlg->SetVideoFile(file);
    WizardDlg->ShowPage(kVideoPage, kFileListPage, kFileListPage);
}

void CMainDlg::OnScreenshot()
{
    const Screenshot shot = ScreenshotTaker ? ScreenshotTaker(this) : Screenshot();
    const QString& file = shot.path;
    if (file.isEmpty())
        return;
    if (const QString why = AddToList(file); !why.isEmpty()) {
        ShowRefusedFiles(this, {FileNameOf(file) + QStringLiteral(" — ") + why});
        return;
    }
    m_view->StartLoader();
    m_view->scrollTo(FileList.index(FileList.Count() - 1));
    ShowInformation(this,
        QStringLiteral("Снимок экрана был сделан успешно.")
            + (shot.note.isEmpty() ? QString() : QStringLiteral("\n\n") + shot.note),
        QStringLiteral("Vellmar"));
}

void CMainDlg::OnRemove()
{
    m_view->DeleteSelected();
}

void CMainDlg::OnProperties()
{
    const int item = m_view->ChosenItem();
    if (item >= 0)
        ShowFileProperties(this, m_view->GetFileName(item));
}

void CMainDlg::OnView()
{
    const int item = m_view->ChosenItem();
    if (item >= 0)
        m_view->Viewer()->ShowImage(m_view->GetFileName(item));
}

namespace {

// The local files of a clipboard's address list; addresses of web pages are no files of ours.
QStringList LocalFiles(const QMimeData* data)
{
    QStringList paths;
    for (const QUrl& url : data ? data->urls() : QList<QUrl>()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

void CMainDlg::OnPaste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    // Files first: a file manager may offer a preview picture of them beside the list.
    if (const QStringList files = LocalFiles(data); !files.isEmpty()) {
        if (WizardDlg)
            WizardDlg->DropFiles(files);
        return;
    }
    const QImage image = data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
    if (image.isNull() || !WizardDlg)
        return;
    const SavedPicture saved
        = SaveToTemp(*WizardDlg->Temp(), image, QStringLiteral("clipboard"), ImageFormat::Png, 100);
    const QString why = saved.ok() ? AddToList(saved.path) : saved.error;
    if (!why.isEmpty()) {
        ShowWarning(this, QStringLiteral("Изображение из буфера обмена не добавлено: ") + why,
            QStringLiteral("Vellmar"));
        return;
    }
    m_view->StartLoader();
    m_view->scrollTo(FileList.index(FileList.Count() - 1));
}

void CMainDlg::OnContextMenu(const QPoint& pos)
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    m_paste->setEnabled(data && (data->hasImage() || !LocalFiles(data).isEmpty()));
    const QModelIndex hit = m_view->indexAt(pos);
    // Between the pictures only pasting makes sense.
    if (!hit.isValid()) {
        QMenu menu(this);
        menu.addAction(m_paste);
        menu.exec(m_view->viewport()->mapToGlobal(pos));
        return;
    }
    if (!m_view->selectionModel()->isSelected(hit)) {
        m_view->clearSelection();
        m_view->SetSelected(hit.row(), true);
    }
    m_view->selectionModel()->setCurrentIndex(hit, QItemSelectionModel::NoUpdate);

    QMenu menu(this);
    QAction* view = menu.addAction(QStringLiteral("Просмотр"));
    view->setObjectName(QStringLiteral("32781"));
    QAction* remove = menu.addAction(QStringLiteral("Удалить\tDel"));
    remove->setObjectName(QStringLiteral("32779"));
    QAction* properties = menu.addAction(QStringLiteral("Свойства"));
    properties->setObjectName(QStringLiteral("1080"));
    menu.setDefaultAction(view);
    connect(view, &QAction::triggered, this, &CMainDlg::OnView);
    connect(remove, &QAction::triggered, this, &CMainDlg::OnRemove);
    connect(properties, &QAction::triggered, this, &CMainDlg::OnProperties);
    menu.addSeparator();
    menu.addAction(m_paste);
    menu.exec(m_view->viewport()->mapToGlobal(pos));
}
