// SPDX-License-Identifier: MIT
#include "ui/CHistoryWindow.h"

#include "history/HistoryStore.h"
#include "ui/HistoryModel.h"
#include "ui/kit/MessageBoxes.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kPreviewRowSide = 48;

} // namespace

CHistoryWindow::CHistoryWindow(const QString& path, CodeType codeType, const QString& templatePath,
    const std::function<void(const QString&)>& notice, QWidget* parent)
    : QDialog(parent)
    , UrlOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); })
    , m_template(LoadTemplate(templatePath))
{
    setWindowTitle(QStringLiteral("История загрузок"));
    resize(760, 480);
    // A history not made yet is made now, so the window and later uploads share one file.
    HistoryStore::Opened opened = HistoryStore::Open(path);
    if (!opened.notice.isEmpty() && notice)
        notice(opened.notice);
    m_store = std::move(opened.store);
    m_model = new HistoryModel(m_store.get(), this);

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(QStringLiteral("Поиск по имени файла или адресу (Ctrl+F)"));
    m_search->setClearButtonEnabled(true);

    m_list = new QTreeView(this);
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    // Every row as high as the first: the view never measures the rows it does not show.
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setIconSize(QSize(kPreviewRowSide, kPreviewRowSide));
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(HistoryModel::Date, 190);
    m_list->setColumnWidth(HistoryModel::Service, 100);
    m_list->setColumnWidth(HistoryModel::Name, 180);
    m_list->installEventFilter(this);

    m_codeType = new QComboBox(this);
    m_codeType->addItems(CodeTypeLabels());
    m_codeType->setCurrentIndex(static_cast<int>(codeType));
    m_perRow = new QLineEdit(QStringLiteral("4"), this);
    m_perRow->setMaximumWidth(40);
    auto* copyCode = new QPushButton(QStringLiteral("Копировать код"), this);
    auto* copyAddress = new QPushButton(QStringLiteral("Копировать адрес"), this);
    auto* openPicture = new QPushButton(QStringLiteral("Открыть картинку"), this);
    m_openDeletion = new QPushButton(QStringLiteral("Открыть адрес удаления"), this);
    auto* remove = new QPushButton(QStringLiteral("Удалить из истории"), this);
    auto* clear = new QPushButton(QStringLiteral("Очистить историю..."), this);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    m_needChoice = {copyCode, copyAddress, openPicture, remove};
    // Enter belongs to the list (it copies the code), not to a default button.
    for (QPushButton* button : {copyCode, copyAddress, openPicture, m_openDeletion, remove, clear, close})
        button->setAutoDefault(false);

    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(new QLabel(QStringLiteral("Тип кода:"), this));
    codeRow->addWidget(m_codeType, 1);
    codeRow->addWidget(new QLabel(QStringLiteral("Картинок в строке:"), this));
    codeRow->addWidget(m_perRow);
    codeRow->addWidget(copyCode);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {copyAddress, openPicture, m_openDeletion, remove, clear})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addLayout(codeRow);
    layout->addLayout(buttons);

    connect(m_search, &QLineEdit::textChanged, m_model, &HistoryModel::SetSearch);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CHistoryWindow::UpdateButtons);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &CHistoryWindow::UpdateButtons);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &CHistoryWindow::UpdateButtons);
    connect(copyCode, &QPushButton::clicked, this, &CHistoryWindow::CopyCode);
    connect(copyAddress, &QPushButton::clicked, this, &CHistoryWindow::CopyAddresses);
    connect(openPicture, &QPushButton::clicked, this, &CHistoryWindow::OpenPicture);
    connect(m_openDeletion, &QPushButton::clicked, this, &CHistoryWindow::OpenDeletionAddress);
    connect(remove, &QPushButton::clicked, this, &CHistoryWindow::RemoveChosen);
    connect(clear, &QPushButton::clicked, this, &CHistoryWindow::ClearAll);
    connect(close, &QPushButton::clicked, this, &CHistoryWindow::close);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus();
        m_search->selectAll();
    });
    // Down from the search field goes into the list, as in a browser's address bar.
    m_search->installEventFilter(this);
    UpdateButtons();
}

CHistoryWindow::~CHistoryWindow() = default;

bool CHistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_search && key == Qt::Key_Down && m_model->rowCount() > 0) {
        m_list->setFocus();
        if (!m_list->selectionModel()->hasSelection())
            m_list->selectionModel()->setCurrentIndex(
                m_model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    if (watched == m_list && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        CopyCode();
        return true;
    }
    if (watched == m_list && key == Qt::Key_Delete) {
        RemoveChosen();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QList<int> CHistoryWindow::ChosenRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CHistoryWindow::UpdateButtons()
{
    const QList<int> rows = ChosenRows();
    for (QPushButton* button : m_needChoice)
        button->setEnabled(!rows.isEmpty());
    m_openDeletion->setEnabled(
        rows.size() == 1 && !m_model->Entry(rows.first()).addresses.DeletionUrl.isEmpty());
}

void CHistoryWindow::CopyCode()
{
    const QList<int> rows = ChosenRows();
    if (rows.isEmpty())
        return;
    QList<UploadResult> results;
    // The list is newest first; code reads in the order the pictures went up.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        results.append(m_model->Entry(*it).addresses);
    QGuiApplication::clipboard()->setText(GenerateCode(
        results, CodeTypeOf(m_codeType->currentIndex()), ImagesPerRow(m_perRow->text()), m_template));
}

void CHistoryWindow::CopyAddresses()
{
    QStringList lines;
    for (int row : ChosenRows())
        lines.append(m_model->Entry(row).addresses.ImageUrl);
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

void CHistoryWindow::OpenPicture()
{
    const QList<int> rows = ChosenRows();
    if (!rows.isEmpty())
        UrlOpener(QUrl(m_model->Entry(rows.first()).addresses.ImageUrl));
}

void CHistoryWindow::OpenDeletionAddress()
{
    const QList<int> rows = ChosenRows();
    if (rows.size() == 1 && !m_model->Entry(rows.first()).addresses.DeletionUrl.isEmpty())
        UrlOpener(QUrl(m_model->Entry(rows.first()).addresses.DeletionUrl));
}

void CHistoryWindow::RemoveChosen()
{
    const QList<int> rows = ChosenRows();
    if (rows.isEmpty())
        return;
    if (!m_model->Remove(rows)) {
        ShowWarning(this, QStringLiteral("Не удалось удалить записи из истории."), windowTitle());
        return;
    }
    // The focus stays where the removed rows were.
    const int next = std::min(rows.first(), m_model->rowCount() - 1);
    if (next >= 0)
        m_list->setCurrentIndex(m_model->index(next, 0));
}

void CHistoryWindow::ClearAll()
{
    if (!AskYesNo(this,
            QStringLiteral("Удалить из истории все загрузки? Картинки останутся на сервисах, но их адреса, "
                           "в том числе адреса удаления, будут потеряны."),
            windowTitle()))
        return;
    if (!m_model->Clear())
        ShowWarning(this, QStringLiteral("Не удалось очистить историю."), windowTitle());
}
