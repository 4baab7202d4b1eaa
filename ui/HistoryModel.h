// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryEntry.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QList>
#include <QPixmap>

class HistoryStore;

/// The upload history for a view, newest first, read a page at a time as the view scrolls
/// (fetchMore), so that a history of any length opens at once. Previews are read when a row is
/// shown and kept for the rows seen last.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Date, Service, Name, Address, ColumnCount };
    /// Rows read at a time: more than a screen holds.
    static constexpr int kPageRows = 200;

    /// `store` may be null (no history): the model is empty.
    explicit HistoryModel(HistoryStore* store, QObject* parent = nullptr);

    /// Shows only the entries whose name or an address contains `text`; empty: all.
    void SetSearch(const QString& text);
    /// Puts entries written since the list was read on top, keeping the rows shown and chosen.
    void TakeNewer();
    const HistoryEntry& Entry(int row) const { return m_entries[row]; }
    /// Removes the entries of `rows` from the history; false when the history refused.
    bool Remove(QList<int> rows);
    bool Clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    HistoryStore* m_store;
    QString m_search;
    QList<HistoryEntry> m_entries;
    bool m_more = false; ///< the last page read was full: there may be older entries
    mutable QCache<qint64, QPixmap> m_previews;
};
