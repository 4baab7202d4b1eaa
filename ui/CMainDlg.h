// SPDX-License-Identifier: MIT
#pragma once

#include "ui/wizard/CWizardPage.h"

#include <QStringList>
#include <QWidget>
#include <functional>

class CThumbsView;

/// Wizard page 2: the pictures to upload, shown as thumbnails.
class CMainDlg : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    /// Files larger than this are refused: the services take nothing bigger.
    static constexpr qint64 kMaxFileSize = 5 * 1024 * 1024;

    CMainDlg(CWizardFrame* frame, QWidget* parent);
    ~CMainDlg() override;

    bool OnShow() override;
    bool OnHide() override;

    /// Accepts one picture file into the list, or refuses it silently: not a picture by
    /// extension, not a regular file, empty, or larger than kMaxFileSize.
    void AddToList(const QString& path);

    CThumbsView* View() const { return m_view; }

    /// The paths to upload, in list order; entry k is item k of the view.
    QStringList FileList;

    // The dialogs the page opens; tests replace them.
    std::function<QStringList(QWidget*)> ImagePicker;
    std::function<QString(QWidget*)> VideoPicker;
    /// Takes a screenshot; returns the saved file or an empty text when cancelled or failed.
    std::function<QString(CMainDlg*)> ScreenshotTaker;

    void OnAddImages();
    void OnImportVideo();
    void OnScreenshot();
    void OnRemove();
    void OnProperties();
    void OnView();

private:
    void OnItemDeleting(int index);
    void OnContextMenu(const QPoint& pos);
    void UpdateNext() { EnableNext(!FileList.isEmpty()); }

    CThumbsView* m_view = nullptr;
};
