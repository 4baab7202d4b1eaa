// SPDX-License-Identifier: MIT
#pragma once

#include "ui/wizard/CWizardPage.h"

#include <QWidget>

/// Wizard page 3: image and upload options before the upload.
class CUploadSettings : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CUploadSettings(CWizardFrame* frame, QWidget* parent);
};
