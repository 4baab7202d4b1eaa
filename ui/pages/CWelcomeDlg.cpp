// SPDX-License-Identifier: MIT
#include "ui/pages/CWelcomeDlg.h"

#include "capture/CScreenshotDlg.h"
#include "settings/Paths.h"
#include "ui/Artwork.h"
#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/MessageBoxes.h"
#include "ui/pages/Pickers.h"
#include "ui/widgets/CCommandListBox.h"

#include <QLabel>

namespace {

// A picture at its own size, placed at a template position.
QLabel* MakePicture(QWidget* parent, const QPixmap& pixmap, int x, int y)
{
    auto* picture = new QLabel(parent);
    picture->setPixmap(pixmap);
    picture->setGeometry(QRect(QPoint(DluX(x), DluY(y)), pixmap.deviceIndependentSize().toSize()));
    return picture;
}

} // namespace

CWelcomeDlg::CWelcomeDlg(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
    , ImagePicker(ImagePickerOf(frame))
    , VideoPicker(VideoPickerOf(frame))
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("109"));
    resize(DluX(397), DluY(269));
    // The page and everything on it stand on white.
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);

    MakePicture(this, WelcomeBanner(), 0, 0);
    MakePicture(this, WizardMark(), 158, 7);
    QLabel* title = MakeLabel(this, 1077, QStringLiteral("Vellmar"), {204, 15, 184, 25});
    MakeLabel(this, 0,
        QStringLiteral("Добро пожаловать в мастер публикации изображений, который поможет вам разместить "
                       "ваши фотографии, изображения, кадры из видео-файлов в Интернете!"),
        {122, 47, 259, 29});
    QLabel* choose = MakeLabel(this, 1076, QStringLiteral("Выберите действие:"), {125, 93, 144, 8});
    m_commands = new CCommandListBox(this);
    // Tall enough for all four commands, so that none hides behind a scroll bar.
    PlaceControl(m_commands, 1002, {139, 106, 185, 132});
    MakeLabel(this, 0, QStringLiteral("Совет:"), {130, 244, 24, 8});
    MakeLabel(this, 0,
        QStringLiteral("Просто перетащите изображения или видео-файл в окно программы и программа "
                       "обработает их."),
        {172, 244, 211, 24});

    for (const auto& [title, id] :
        {std::pair {"Добавить изображения", AddImages}, std::pair {"Импортировать видео файл", ImportVideo},
            std::pair {"Сделать снимок экрана", TakeScreenshot}, std::pair {"История загрузок", ShowHistory}})
        m_commands->AddCommand(QString::fromUtf8(title), id, CommandIcon(id));
    connect(m_commands, &CCommandListBox::commandRun, this, &CWelcomeDlg::RunCommand);

    choose->setFont(BoldFont(font()));
    // 13 points for the screen, in whole pixels as a logical font gets them.
    QFont large = font();
    large.setPixelSize(qRound(13 * logicalDpiY() / 72.0));
    title->setFont(BoldFont(large));

    ShowNext(false);
    ShowPrev(false);
}

bool CWelcomeDlg::OnShow()
{
    EnableNext(true);
    ShowNext(WizardDlg && WizardDlg->Page(kFileListPage) != nullptr);
    EnableExit(true);
    ShowPrev(false);
    return true;
}

void CWelcomeDlg::RunCommand(int commandId)
{
    switch (commandId) {
    case AddImages:
        OnAddImages();
        break;
    case ImportVideo:
        OnImportVideo();
        break;
    case TakeScreenshot:
        OnScreenshot();
        break;
    case ShowHistory:
        if (WizardDlg)
            WizardDlg->ShowHistory();
        break;
    }
}

void CWelcomeDlg::OnAddImages()
{
    const QStringList files = ImagePicker ? ImagePicker(this) : QStringList();
    if (files.isEmpty() || !WizardDlg || !WizardDlg->CreatePage(kFileListPage))
        return;
    const QStringList refused = WizardDlg->AddFilesToList(files);
    // The list page shows even when nothing was taken; it starts its loader as it shows.
    WizardDlg->ShowPage(kFileListPage, kWelcomePage, kUploadSettingsPage);
    ShowRefusedFiles(WizardDlg->FrameWindow(), refused);
}

void CWelcomeDlg::OnImportVideo()
{
    const QString file = VideoPicker ? VideoPicker(window()) : QString();
    if (file.isEmpty() || !WizardDlg)
        return;
    WizardDlg->SetVideoFile(file);
    const int next = WizardDlg->Page(kFileListPage) ? kFileListPage : kUploadSettingsPage;
    WizardDlg->ShowPage(kVideoPage, kWelcomePage, next);
}

void CWelcomeDlg::OnScreenshot()
{
    if (!WizardDlg)
        return;
    const Screenshot shot = WizardDlg->TakeScreenshot(this);
    if (shot.path.isEmpty())
        return;
    const QString why = WizardDlg->AddToFileList(shot.path);
    WizardDlg->ShowPage(kFileListPage, kWelcomePage, kUploadSettingsPage);
    if (!why.isEmpty()) {
        ShowRefusedFiles(WizardDlg->FrameWindow(), {FileNameOf(shot.path) + QStringLiteral(" — ") + why});
        return;
    }
    ShowInformation(this,
        QStringLiteral("Screenshot was made succesfully.")
            + (shot.note.isEmpty() ? QString() : QStringLiteral("\n\n") + shot.note),
        QStringLiteral("Vellmar"));
}
