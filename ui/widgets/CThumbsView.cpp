// SPDX-License-Identifier: MIT
#include "ui/widgets/CThumbsView.h"

#include "imaging/Decode.h"
#include "ui/widgets/CImageView.h"
#include "ui/widgets/CThumbsModel.h"
#include "ui/widgets/TilePainting.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <functional>

namespace {

void RaiseTo(std::atomic<int>& value, int candidate)
{
    int current = value.load();
    while (candidate > current && !value.compare_exchange_weak(current, candidate)) { }
}

} // namespace

CThumbsView::CThumbsView(QWidget* parent)
    : QListView(parent)
{ }

CThumbsView::~CThumbsView()
{
    // The loader never waits on this thread, so waiting for it here cannot deadlock; tiles it
    // posted after this point are dropped together with the view.
    m_loader.Stop();
}

void CThumbsView::Init(CThumbsModel* files)
{
    m_files = files;
    setModel(files);
    if (!m_viewer)
        m_viewer = new CImageView(this);
    setViewMode(QListView::IconMode);
    setIconSize(QSize(kTileWidth, kTileHeight));
    setGridSize(QSize(175, 145));
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(64);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionRectVisible(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Files dropped here belong to the wizard window, which routes them.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    // Whichever way an item leaves, a thumbnail still waiting for it is not drawn.
    connect(files, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex&, int first, int last) {
            for (int row = first; row <= last; ++row)
                Forget(m_files->IdOf(row));
        });
    connect(files, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const std::lock_guard lock(m_waitingMutex);
        m_waiting.clear();
    });
}

int CThumbsView::count() const
{
    return m_files ? m_files->Count() : 0;
}

void CThumbsView::AddFile(const QString& path, const QString& caption, const QImage& picture)
{
    if (path.isNull() || !m_files)
        return;
    if (m_placeholder.isNull())
        DrawItemThumbnail(-1, {});
    const quint64 id = m_files->Append(path, caption, m_placeholder);
    if (!picture.isNull()) {
        DrawItemThumbnail(m_files->Count() - 1, picture);
    } else {
        const std::lock_guard lock(m_waitingMutex);
        m_waiting.push_back({id, path});
    }
}

void CThumbsView::AddDrawnFile(
    const QString& path, const QString& caption, const QImage& tile, QSizeF sourceSize)
{
    if (path.isNull() || !m_files)
        return;
    if (m_placeholder.isNull())
        DrawItemThumbnail(-1, {});
    m_files->Append(path, caption, m_placeholder);
    RaiseMaxima(sourceSize);
    m_files->SetThumbnail(m_files->Count() - 1, QPixmap::fromImage(tile), m_files->Count());
}

QRect CThumbsView::TilePictureRect(QSizeF sourceSize)
{
    const QSizeF fitted = FitWithin(sourceSize, QSizeF(kTileWidth, kTileHeight)) - QSizeF(2, 2);
    return QRect(int((kTileWidth - fitted.width()) * 0.5), int((kTileHeight - fitted.height()) * 0.5),
        int(fitted.width()), int(fitted.height()));
}

QImage CThumbsView::RenderTile(const QImage& picture, QSizeF sourceSize, bool placeholder)
{
    QImage tile(kTileWidth, kTileHeight, QImage::Format_RGB32);
    tile.fill(kTileBackground);
    QPainter painter(&tile);
    const QRectF box(1, 1, kTileWidth, kTileHeight);
    if (picture.isNull() && !placeholder) {
        DrawNotSupported(painter, box);
        return tile;
    }
    FillGradientBox(painter, QRectF(1, 1, kTileWidth - 2, kTileHeight - 2), box);
    if (picture.isNull())
        return tile;
    const QRect target = TilePictureRect(sourceSize);
    if (target.isEmpty())
        return tile;
    // Area-averaged scaling keeps fine detail from turning into moiré at this size.
    painter.drawImage(target.topLeft(),
        picture.size() == target.size()
            ? picture
            : picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return tile;
}

void CThumbsView::RaiseMaxima(QSizeF size)
{
    RaiseTo(m_maxImageWidth, int(size.width()));
    RaiseTo(m_maxImageHeight, int(size.height()));
}

void CThumbsView::DrawItemThumbnail(int index, const QImage& picture)
{
    if (index < 0) {
        RaiseMaxima(QSizeF(0, 0));
        m_placeholder = QPixmap::fromImage(RenderTile({}, {}, true));
        return;
    }
    if (index >= count())
        return;
    RaiseMaxima(picture.size());
    m_files->SetThumbnail(index, QPixmap::fromImage(RenderTile(picture, picture.size(), false)), index + 1);
    Forget(m_files->IdOf(index));
}

void CThumbsView::StartLoader()
{
    bool leaving = false;
    {
        const std::lock_guard lock(m_waitingMutex);
        leaving = m_loaderLeaving;
    }
    if (m_loader.IsRunning() && !leaving)
        return;
    // A loader that found no more work is only returning and waits on nothing: joining is quick.
    if (m_loader.IsRunning())
        m_loader.Stop();
    {
        const std::lock_guard lock(m_waitingMutex);
        m_loaderLeaving = false;
    }
    m_loader.Start();
}

void CThumbsView::RequestStop()
{
    m_loader.RequestStop();
}

int CThumbsView::ThreadProc(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        Waiting job;
        {
            const std::lock_guard lock(m_waitingMutex);
            if (m_waiting.empty()) {
                // Said under the lock that also guards additions, so StartLoader never misses
                // an item added while this loader was on its way out.
                m_loaderLeaving = true;
                break;
            }
            job = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        // Decoding and drawing happen here, off the user-interface thread; only the finished
        // tile crosses over, by a posted call that never blocks either side.
        const DecodedImage decoded = DecodeImage(job.path, QSize(kTileWidth, kTileHeight));
        RaiseMaxima(decoded.isNull() ? QSizeF(0, 0) : QSizeF(decoded.originalSize));
        QImage tile = RenderTile(decoded.image, decoded.originalSize, false);
        QMetaObject::invokeMethod(
            this, [this, id = job.id, tile = std::move(tile)] { ApplyThumbnail(id, tile); },
            Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(
        this, [this] { RenumberImages(); }, Qt::QueuedConnection);
    return 0;
}

void CThumbsView::ApplyThumbnail(quint64 id, const QImage& tile)
{
    const int row = m_files ? m_files->RowOf(id) : -1;
    if (row < 0)
        return; // removed while it was being drawn
    m_files->SetThumbnail(row, QPixmap::fromImage(tile), row + 1);
    emit thumbnailDrawn(row);
}

void CThumbsView::Forget(quint64 id)
{
    const std::lock_guard lock(m_waitingMutex);
    std::erase_if(m_waiting, [id](const Waiting& waiting) { return waiting.id == id; });
}

QString CThumbsView::GetFileName(int index) const
{
    return m_files ? m_files->Path(index) : QString();
}

int CThumbsView::ImageIndexOf(int index) const
{
    return m_files ? m_files->ImageIndex(index) : -1;
}

QPixmap CThumbsView::Tile(int index) const
{
    return m_files ? m_files->data(m_files->index(index), Qt::DecorationRole).value<QPixmap>() : QPixmap();
}

void CThumbsView::SetSelected(int index, bool selected)
{
    if (m_files && index >= 0 && index < count())
        selectionModel()->select(
            m_files->index(index), selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

QRect CThumbsView::ItemRect(int index) const
{
    return m_files ? visualRect(m_files->index(index)) : QRect();
}

int CThumbsView::ChosenItem() const
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current))
        return current.row();
    int first = -1;
    for (const QModelIndex& selected : selectionModel()->selectedIndexes()) {
        if (first < 0 || selected.row() < first)
            first = selected.row();
    }
    if (first < 0 && current.isValid())
        first = current.row();
    return first;
}

bool CThumbsView::RemoveItem(int index)
{
    if (!m_files || !m_files->Remove(index))
        return false;
    if (count() > 0)
        scrollTo(m_files->index(std::min(index, count() - 1)));
    return true;
}

void CThumbsView::DeleteSelected()
{
    setUpdatesEnabled(false);
    // From the last selected item back, so the rows of the others stay as they are.
    QList<int> rows;
    for (const QModelIndex& selected : selectionModel()->selectedIndexes())
        rows << selected.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int row : rows)
        m_files->Remove(row);
    RenumberImages();
    setUpdatesEnabled(true);
}

void CThumbsView::Clear()
{
    if (m_files)
        m_files->Clear();
    m_placeholder = QPixmap();
}

void CThumbsView::RenumberImages()
{
    if (m_files)
        m_files->RenumberImages();
}

void CThumbsView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        DeleteSelected();
    } else if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier)) {
        setUpdatesEnabled(false);
        selectAll();
        setUpdatesEnabled(true);
    } else if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return
        || event->key() == Qt::Key_Enter) {
        // The window's own keys: Escape leaves, Enter presses the default button.
        event->ignore();
        return;
    }
    event->accept();
}

void CThumbsView::mousePressEvent(QMouseEvent* event)
{
    // The middle button acts on release; its press must not change the selection first.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void CThumbsView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::MiddleButton) {
        QListView::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (!hit.isValid())
        return;
    if (selectionModel()->isSelected(hit)) {
        DeleteSelected();
    } else {
        RemoveItem(hit.row());
        RenumberImages();
    }
}

void CThumbsView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_viewer)
        return;
    if (const QModelIndex hit = indexAt(event->position().toPoint()); hit.isValid())
        m_viewer->ShowImage(GetFileName(hit.row()));
}

void CThumbsView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    // An empty list has no item to mark the focus on: the frame inside it shows where Tab went.
    if (hasFocus() && model() && model()->rowCount() == 0) {
        QPainter painter(viewport());
        QPen dots(palette().color(QPalette::Text), 1, Qt::DotLine);
        painter.setPen(dots);
        painter.drawRect(viewport()->rect().adjusted(1, 1, -2, -2));
    }
}

void CThumbsView::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    viewport()->update();
}

void CThumbsView::focusOutEvent(QFocusEvent* event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}
