// SPDX-License-Identifier: MIT
#include "ui/wizard/CWizardPage.h"

bool CWizardPage::OnShow()
{
    EnableNext(true);
    ShowNext(true);
    EnablePrev(true);
    ShowPrev(true);
    return true;
}

QString CWizardPage::NextCaption() const
{
    return QStringLiteral("Далее >");
}

void CWizardPage::SetNextCaption(const QString& text)
{
    if (WizardDlg)
        WizardDlg->SetNextCaption(text);
}

void CWizardPage::Button(WizardButton button, bool on, bool enable)
{
    if (!WizardDlg)
        return;
    if (enable)
        WizardDlg->EnableButton(button, on);
    else
        WizardDlg->ShowButton(button, on);
}
