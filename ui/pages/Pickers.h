// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "ui/kit/FileDialogs.h"
#include "ui/wizard/CWizardFrame.h"

#include <QStringList>
#include <functional>

class QWidget;

// The pages that add pictures or a video ask through these, so that tests can put their own in.
// Each dialog opens in the folder the frame's settings remember (the working folder without one).
inline std::function<QStringList(QWidget*)> ImagePickerOf(CWizardFrame* frame)
{
    return [frame](QWidget* owner) {
        return PickImageFiles(owner, frame ? &frame->WizardSettings().folders.Images : nullptr);
    };
}

inline std::function<QString(QWidget*)> VideoPickerOf(CWizardFrame* frame)
{
    return [frame](QWidget* owner) {
        return PickVideoFile(owner, frame ? &frame->WizardSettings().folders.Video : nullptr);
    };
}
