// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QVector>

/// The picture files a thumbnail view shows, in order: each with its full path, its caption and
/// its thumbnail. The page that collects the files owns it; CThumbsView is a view of it. Lives
/// on the user-interface thread.
class CThumbsModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole, ///< QString: the full path
        ImageIndexRole, ///< int: 0 while the placeholder shows, else the thumbnail's number
    };

    explicit CThumbsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int Count() const { return int(m_items.size()); }
    /// The full path of row `row`; a null text when there is no such row.
    QString Path(int row) const;
    QStringList Paths() const;

    /// Appends a file showing `placeholder` until its thumbnail is set; returns its lasting id.
    quint64 Append(const QString& path, const QString& caption, const QPixmap& placeholder);
    bool Remove(int row);
    void Clear();

    /// The row of the item with `id`, or -1 when it has gone.
    int RowOf(quint64 id) const;
    quint64 IdOf(int row) const;
    void SetThumbnail(int row, const QPixmap& tile, int imageIndex);
    int ImageIndex(int row) const;
    /// Gives every drawn item the image index of its position + 1 again.
    void RenumberImages();

private:
    struct Item
    {
        quint64 id;
        QString path;
        QString caption;
        QPixmap tile;
        int imageIndex = 0;
    };

    QVector<Item> m_items;
    quint64 m_nextId = 1;
};
