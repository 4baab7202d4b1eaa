// SPDX-License-Identifier: MIT
#include "ui/CUploadSettings.h"

#include <QLabel>

CUploadSettings::CUploadSettings(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("110"));
    auto* note = new QLabel(QStringLiteral("Настройки загрузки появятся здесь в следующей версии."), this);
    note->setGeometry(24, 24, 500, 20);
}
