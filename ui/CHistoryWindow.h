// SPDX-License-Identifier: MIT
#pragma once

#include "upload/CodeGenerator.h"

#include <QDialog>
#include <QList>
#include <QUrl>
#include <functional>
#include <memory>

class HistoryModel;
class HistoryStore;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;

/// The upload history: every uploaded file with its preview, newest first, a search as you type,
/// and the code, the addresses and the deletion address of the chosen entries at hand.
class CHistoryWindow : public QDialog
{
    Q_OBJECT
public:
    /// Shows the history at `path`; `codeType` is the list's first choice, `templatePath` the
    /// template of the code, as on the upload page. A notice about the file goes to `notice`.
    CHistoryWindow(const QString& path, CodeType codeType, const QString& templatePath,
        const std::function<void(const QString&)>& notice, QWidget* parent);
    ~CHistoryWindow() override;

    /// The code of the chosen entries, in the order they went up, onto the clipboard.
    void CopyCode();
    /// The picture addresses of the chosen entries, one per line, onto the clipboard.
    void CopyAddresses();
    void OpenPicture();
    void OpenDeletionAddress();
    /// Takes the chosen entries out of the history (the pictures stay on their services).
    void RemoveChosen();
    /// Empties the history once the user agrees.
    void ClearAll();

    QLineEdit* Search() const { return m_search; }
    QTreeView* List() const { return m_list; }
    HistoryModel* Model() const { return m_model; }
    /// Opens an address in the browser; tests put their own in.
    std::function<bool(const QUrl&)> UrlOpener;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Rows of the chosen entries, newest first.
    QList<int> ChosenRows() const;
    void UpdateButtons();

    std::unique_ptr<HistoryStore> m_store;
    HistoryModel* m_model = nullptr;
    CodeTemplate m_template;
    QLineEdit* m_search = nullptr;
    QTreeView* m_list = nullptr;
    QComboBox* m_codeType = nullptr;
    QLineEdit* m_perRow = nullptr;
    QList<QPushButton*> m_needChoice; ///< buttons that act on the chosen entries
    QPushButton* m_openDeletion = nullptr;
};
