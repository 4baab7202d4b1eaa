// SPDX-License-Identifier: MIT
#include "ui/widgets/CThumbsModel.h"

CThumbsModel::CThumbsModel(QObject* parent)
    : QAbstractListModel(parent)
{ }

int CThumbsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant CThumbsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const Item& item = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return item.caption;
    case Qt::DecorationRole:
        return item.tile;
    case PathRole:
        return item.path;
    case ImageIndexRole:
        return item.imageIndex;
    default:
        return {};
    }
}

QString CThumbsModel::Path(int row) const
{
    return row >= 0 && row < Count() ? m_items[row].path : QString();
}

QStringList CThumbsModel::Paths() const
{
    QStringList paths;
    paths.reserve(Count());
    for (const Item& item : m_items)
        paths << item.path;
    return paths;
}

quint64 CThumbsModel::Append(const QString& path, const QString& caption, const QPixmap& placeholder)
{
    const int row = Count();
    beginInsertRows({}, row, row);
    m_items.append({m_nextId, path, caption, placeholder, 0});
    endInsertRows();
    return m_nextId++;
}

bool CThumbsModel::Remove(int row)
{
    if (row < 0 || row >= Count())
        return false;
    beginRemoveRows({}, row, row);
    m_items.removeAt(row);
    endRemoveRows();
    return true;
}

void CThumbsModel::Clear()
{
    beginResetModel();
    m_items.clear();
    endResetModel();
}

int CThumbsModel::RowOf(quint64 id) const
{
    for (int row = 0; row < Count(); ++row) {
        if (m_items[row].id == id)
            return row;
    }
    return -1;
}

quint64 CThumbsModel::IdOf(int row) const
{
    return row >= 0 && row < Count() ? m_items[row].id : 0;
}

void CThumbsModel::SetThumbnail(int row, const QPixmap& tile, int imageIndex)
{
    if (row < 0 || row >= Count())
        return;
    m_items[row].tile = tile;
    m_items[row].imageIndex = imageIndex;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DecorationRole, ImageIndexRole});
}

int CThumbsModel::ImageIndex(int row) const
{
    return row >= 0 && row < Count() ? m_items[row].imageIndex : -1;
}

void CThumbsModel::RenumberImages()
{
    for (int row = 0; row < Count(); ++row) {
        if (m_items[row].imageIndex > 0)
            m_items[row].imageIndex = row + 1;
    }
    if (Count() > 0)
        emit dataChanged(index(0), index(Count() - 1), {ImageIndexRole});
}
