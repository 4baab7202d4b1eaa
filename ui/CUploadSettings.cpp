// SPDX-License-Identifier: MIT
#include "ui/CUploadSettings.h"

#include "ui/kit/Controls.h"

CUploadSettings::CUploadSettings(CWizardFrame* frame, QWidget* parent)
    : QWidget(parent)
{
    WizardDlg = frame;
    PageWnd = this;
    setObjectName(QStringLiteral("110"));
    MakeLabel(
        this, 0, QStringLiteral("Настройки загрузки появятся здесь в следующей версии."), {16, 16, 330, 10});
}
