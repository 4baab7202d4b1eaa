// SPDX-License-Identifier: MIT
#pragma once

#include "capture/CScreenshotDlg.h"
#include "ui/widgets/CThumbsModel.h"
#include "ui/wizard/CWizardPage.h"

#include <QStringList>
#include <QWidget>
#include <functional>

class CThumbsView;
class QAction;

/// Wizard page 2: the pictures to upload, shown as thumbnails.
class CMainDlg : public QWidget, public CWizardPage
{
    Q_OBJECT
public:
    CMainDlg(CWizardFrame* frame, QWidget* parent);
    ~CMainDlg() override;

    bool OnShow() override;
    bool OnHide() override;

    /// Accepts one picture file into the list, or refuses it and says why: not a picture by
    /// extension, missing, not a regular file, or empty. Pictures of any size are taken: they are
    /// usually bounded to a fraction of it before they are sent. Empty when accepted.
    QString AddToList(const QString& path);

    CThumbsView* View() const { return m_view; }

    /// The pictures to upload, in list order; the view shows them.
    CThumbsModel FileList;

    // The dialogs the page opens; tests replace them.
    std::function<QStringList(QWidget*)> ImagePicker;
    std::function<QString(QWidget*)> VideoPicker;
    /// Takes a screenshot; the saved file is empty when cancelled or failed.
    std::function<Screenshot(CMainDlg*)> ScreenshotTaker;

    void OnAddImages();
    void OnImportVideo();
    void OnScreenshot();
    void OnRemove();
    void OnProperties();
    void OnView();
    /// Ctrl+V and the list's "Вставить": files copied in a file manager go where a drop of them
    /// would; a picture copied as such joins the list as a PNG file in the temporary folder.
    void OnPaste();

private:
    void OnContextMenu(const QPoint& pos);
    void UpdateNext() { EnableNext(FileList.Count() > 0); }

    CThumbsView* m_view = nullptr;
    QAction* m_paste = nullptr;
};
