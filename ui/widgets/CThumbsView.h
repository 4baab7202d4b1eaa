// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/CThreadImpl.h"

#include <QImage>
#include <QListView>
#include <QPixmap>
#include <QSizeF>
#include <atomic>
#include <deque>
#include <mutex>

class CImageView;
class CThumbsModel;

/// A grid of picture files as 170 x 120 thumbnails with captions: a view of a CThumbsModel.
/// Items first show a shared placeholder; a loader thread draws the real thumbnails in list
/// order. Delete, Ctrl+A and a middle click remove and select items, a double click opens the
/// picture in the viewer.
class CThumbsView : public QListView
{
    Q_OBJECT
public:
    static constexpr int kTileWidth = 170;
    static constexpr int kTileHeight = 120;

    explicit CThumbsView(QWidget* parent = nullptr);
    ~CThumbsView() override;

    /// Shows `files`, creates the viewer and sets up the icon grid; call once, after the view is placed.
    void Init(CThumbsModel* files);
    CThumbsModel* Files() const { return m_files; }

    /// Appends an item. With `picture` (an already decoded frame) its thumbnail is drawn at once;
    /// otherwise it waits for the loader, which the caller starts with StartLoader.
    void AddFile(const QString& path, const QString& caption, const QImage& picture = {});
    /// Appends an item whose thumbnail `tile` (from RenderTile) was drawn elsewhere from a picture
    /// of `sourceSize`: a worker draws it, so that only the small tile crosses to this thread.
    void AddDrawnFile(const QString& path, const QString& caption, const QImage& tile, QSizeF sourceSize);
    /// Draws item `index`'s thumbnail from `picture`; index -1 makes the placeholder.
    void DrawItemThumbnail(int index, const QImage& picture);

    /// Starts the loader unless one is already at work.
    void StartLoader();
    /// Asks the loader to stop after the thumbnail it is drawing; does not wait.
    void RequestStop();
    bool IsRunning() const { return m_loader.IsRunning(); }

    int count() const;
    /// The full path stored with item `index`; null when there is no such item.
    QString GetFileName(int index) const;
    bool RemoveItem(int index);
    void DeleteSelected();
    /// Removes every item and every image, the placeholder too.
    void Clear();
    /// Gives every drawn item the image index of its position + 1 again.
    void RenumberImages();

    /// 0 while item `index` shows the placeholder, else its image index; -1 when there is no item.
    int ImageIndexOf(int index) const;
    QPixmap Tile(int index) const;
    void SetSelected(int index, bool selected);
    /// Where item `index` is drawn, in viewport coordinates.
    QRect ItemRect(int index) const;
    /// The focused item, else the first selected one; -1 when there is neither.
    int ChosenItem() const;
    /// The largest source size drawn so far, placeholder included; never reset.
    int maxImageWidth() const { return m_maxImageWidth.load(); }
    int maxImageHeight() const { return m_maxImageHeight.load(); }
    CImageView* Viewer() const { return m_viewer; }

    /// A 170 x 120 tile: `picture` of `sourceSize` fitted and centred on the gradient box, the
    /// box alone for the placeholder, or "Not supported format" for a null picture.
    static QImage RenderTile(const QImage& picture, QSizeF sourceSize, bool placeholder);
    /// Where RenderTile puts a picture of `sourceSize`.
    static QRect TilePictureRect(QSizeF sourceSize);

signals:
    /// The loader finished item `index`'s thumbnail.
    void thumbnailDrawn(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class CThreadImpl<CThumbsView>;
    struct Waiting
    {
        quint64 id;
        QString path;
    };

    int ThreadProc(std::stop_token stop);
    void ApplyThumbnail(quint64 id, const QImage& tile);
    void Forget(quint64 id);
    void RaiseMaxima(QSizeF size);

    CThumbsModel* m_files = nullptr;
    CImageView* m_viewer = nullptr;
    QPixmap m_placeholder;

    // Shared with the loader; everything else belongs to the user-interface thread.
    std::mutex m_waitingMutex;
    std::deque<Waiting> m_waiting;
    bool m_loaderLeaving = false;
    std::atomic<int> m_maxImageWidth {0};
    std::atomic<int> m_maxImageHeight {0};
    CThreadImpl<CThumbsView> m_loader {*this}; // last: it goes first, while all it uses is still there
};
