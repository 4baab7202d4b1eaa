// SPDX-License-Identifier: MIT
#include "video/CVideoGrabber.h"

#include "ui/kit/Controls.h"
#include "ui/kit/Dlu.h"

#include <QLineEdit>

CVideoGrabber::CVideoGrabber(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("103"));
    resize(DluX(385), DluY(269));
    MakeLabel(this, 0, QStringLiteral("Имя файла:"), {12, 15, 50, 8});
    m_fileName = MakeEdit(this, 1040, {66, 13, 290, 12});
    MakeLabel(
        this, 0, QStringLiteral("Извлечение кадров появится здесь в следующей версии."), {12, 40, 330, 10});
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
    return true;
}

bool CVideoGrabber::OnNext()
{
    return false;
}
