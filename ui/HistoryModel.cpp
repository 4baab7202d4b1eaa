// SPDX-License-Identifier: MIT
#include "ui/HistoryModel.h"

#include "history/HistoryStore.h"

#include <QIcon>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>

namespace {

// A few screens of previews; the rest are read again when scrolled back to.
constexpr int kCachedPreviews = 600;

} // namespace

HistoryModel::HistoryModel(HistoryStore* store, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(store)
    , m_previews(kCachedPreviews)
{
    SetSearch(QString());
}

void HistoryModel::SetSearch(const QString& text)
{
    beginResetModel();
    m_search = text;
    m_entries = m_store ? m_store->List(m_search, 0, kPageRows) : QList<HistoryEntry>();
    m_more = m_entries.size() == kPageRows;
    endResetModel();
}

bool HistoryModel::Remove(QList<int> rows)
{
    if (!m_store)
        return false;
    QList<qint64> ids;
    for (int row : rows)
        ids.append(m_entries[row].id);
    if (!m_store->Remove(ids))
        return false;
    // From the bottom up, so the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : rows) {
        beginRemoveRows({}, row, row);
        m_previews.remove(m_entries[row].id);
        m_entries.removeAt(row);
        endRemoveRows();
    }
    return true;
}

bool HistoryModel::Clear()
{
    if (!m_store || !m_store->Clear())
        return false;
    m_previews.clear();
    SetSearch(m_search);
    return true;
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const HistoryEntry& entry = m_entries[index.row()];
    if (role == Qt::DecorationRole && index.column() == Date) {
        // An icon, which the view draws at its row's size; a pixmap would keep all 96 pixels.
        if (const QPixmap* cached = m_previews.object(entry.id))
            return QIcon(*cached);
        QPixmap preview;
        preview.loadFromData(m_store->Preview(entry.id), "JPEG");
        m_previews.insert(entry.id, new QPixmap(preview));
        return QIcon(preview);
    }
    if (role == Qt::ToolTipRole && index.column() == Name)
        return entry.source;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Date:
        return QLocale().toString(entry.time.toLocalTime(), QStringLiteral("dd.MM.yyyy HH:mm"));
    case Service:
        return entry.service;
    case Name:
        return entry.name;
    case Address:
        return entry.addresses.ImageUrl;
    }
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kTitles[] = {"Дата", "Сервис", "Имя файла", "Адрес"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kTitles[section]) : QVariant();
}

void HistoryModel::TakeNewer()
{
    if (!m_store)
        return;
    const qint64 newest = m_entries.isEmpty() ? 0 : m_entries.first().id;
    QList<HistoryEntry> page = m_store->List(m_search, 0, kPageRows);
    const auto older = std::find_if(
        page.cbegin(), page.cend(), [newest](const HistoryEntry& entry) { return entry.id <= newest; });
    page.erase(older, page.cend());
    if (page.isEmpty())
        return;
    beginInsertRows({}, 0, int(page.size() - 1));
    m_entries = page + m_entries;
    endInsertRows();
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_more;
}

void HistoryModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent) || m_entries.isEmpty())
        return;
    const QList<HistoryEntry> page = m_store->List(m_search, m_entries.last().id, kPageRows);
    m_more = page.size() == kPageRows;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_entries.size()), int(m_entries.size() + page.size() - 1));
    m_entries.append(page);
    endInsertRows();
}
