// SPDX-License-Identifier: MIT
#include "video/CVideoGrabber.h"

#include <QLabel>
#include <QLineEdit>

CVideoGrabber::CVideoGrabber(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("103"));
    resize(578, 437);
    auto* label = new QLabel(QStringLiteral("Имя файла:"), this);
    label->setGeometry(18, 24, 80, 20);
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("1040"));
    m_fileName->setGeometry(100, 22, 440, 22);
    auto* note = new QLabel(QStringLiteral("Извлечение кадров появится здесь в следующей версии."), this);
    note->setGeometry(18, 60, 500, 20);
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
