// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "ui/CLogoSettings.h"
#include "ui/wizard/CWizardPage.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

/// Wizard page 3: the image, thumbnail and service options before the upload, as controls bound
/// to the settings record. The controls hold the main part while the page exists; the record
/// gets them, and the appearance part edited under "Дополнительно...", on Next.
class CUploadSettings : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CUploadSettings(CWizardFrame* frame, QWidget* parent);

    bool OnShow() override;
    bool OnNext() override;
    QString HeaderCaption() const override;
    /// Next starts the upload.
    QString NextCaption() const override;

    /// Opens the logo and text dialog on the working copy and the location and history switches; tests put
    /// their own in.
    std::function<void(AppearancePart&, AdvancedSwitches&, QWidget* owner)> AppearanceEditor;

private:
    void ShowSettings(const MainPart& main);
    /// Lists the program's services by host, then the service profiles, then a profile file
    /// chosen for this session; the entry of `selected` (as ServiceKey gives it) stays current.
    void FillServices(const QString& selected);
    QString ServiceKey(const MainPart::MainKeys& main) const;
    void ApplyKeepAsIsRule();
    void ApplyThumbnailRule();
    /// At a first start, says which service the program chose while it is still the choice.
    void UpdateServiceNote();

    AppearancePart m_appearance;
    AdvancedSwitches m_switches; ///< edited under "Дополнительно..."
    QCheckBox* m_keepAsIs = nullptr;
    QLineEdit* m_maxWidth = nullptr;
    QLineEdit* m_maxHeight = nullptr;
    QCheckBox* m_keepProportions = nullptr;
    QCheckBox* m_addLogo = nullptr;
    QCheckBox* m_addText = nullptr;
    QComboBox* m_format = nullptr;
    QLineEdit* m_quality = nullptr;
    QCheckBox* m_createThumbs = nullptr;
    QLineEdit* m_thumbWidth = nullptr;
    QCheckBox* m_drawFrame = nullptr;
    QCheckBox* m_addImageSize = nullptr;
    QCheckBox* m_serverThumbs = nullptr;
    QComboBox* m_server = nullptr;
    QLabel* m_serviceNote = nullptr;
    QString m_firstChoice; ///< the service a first start chose, as the list keys it
    QList<QWidget*> m_imageControls; ///< off while the file goes up unchanged
    QList<QWidget*> m_thumbControls; ///< off while no thumbnails are made
};
