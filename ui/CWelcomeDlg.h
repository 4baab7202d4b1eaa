// SPDX-License-Identifier: MIT
#pragma once

#include "ui/wizard/CWizardPage.h"

#include <QWidget>

/// Wizard page 0: the greeting the program opens with and returns to after an upload.
class CWelcomeDlg : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CWelcomeDlg(CWizardFrame* frame, QWidget* parent);

    bool OnShow() override;
};
