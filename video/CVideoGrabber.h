// SPDX-License-Identifier: MIT
#pragma once

#include "ui/wizard/CWizardPage.h"

#include <QWidget>

class QLineEdit;

/// Wizard page 1: frames grabbed from a video file.
class CVideoGrabber : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CVideoGrabber(CWizardFrame* frame, QWidget* parent);

    /// The video file to take frames from.
    void SetVideoFile(const QString& path);
    QString VideoFile() const { return m_videoFile; }

    bool OnShow() override;
    /// Stays while no frame was grabbed.
    bool OnNext() override;

private:
    QString m_videoFile;
    QLineEdit* m_fileName = nullptr;
};
