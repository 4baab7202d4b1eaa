// SPDX-License-Identifier: MIT
#include "ui/CWelcomeDlg.h"

#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"

#include <QLabel>

CWelcomeDlg::CWelcomeDlg(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("109"));
    resize(DluX(397), DluY(269));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    QLabel* title = MakeLabel(this, 1077, QStringLiteral("Vellmar"), {204, 15, 184, 25});
    MakeLabel(this, 0,
        QStringLiteral("Добро пожаловать в мастер публикации изображений, который поможет вам разместить "
                       "ваши фотографии, изображения, кадры из видео-файлов в Интернете!"),
        {122, 47, 259, 29});
    QLabel* choose = MakeLabel(this, 1076, QStringLiteral("Выберите действие:"), {125, 93, 144, 8});
    MakeLabel(this, 0, QStringLiteral("Совет:"), {130, 244, 24, 8});
    MakeLabel(this, 0,
        QStringLiteral("Просто перетащите изображения или видео-файл в окно программы и программа "
                       "обработает их."),
        {172, 244, 211, 24});

    QFont bold = font();
    bold.setBold(true);
    choose->setFont(bold);
    bold.setPointSize(13);
    title->setFont(bold);

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
