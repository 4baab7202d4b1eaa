// SPDX-License-Identifier: MIT
#include "ui/widgets/CThumbsView.h"

#include "imaging/Decode.h"
#include "ui/widgets/CImageView.h"
#include "ui/widgets/TilePainting.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kImageIndexRole = Qt::UserRole + 1;
constexpr int kIdRole = Qt::UserRole + 2;

void RaiseTo(std::atomic<int>& value, int candidate)
{
    int current = value.load();
    while (candidate > current && !value.compare_exchange_weak(current, candidate)) { }
}

} // namespace

CThumbsView::CThumbsView(QWidget* parent)
    : QListWidget(parent)
{ }

CThumbsView::~CThumbsView()
{
    // The loader never waits on this thread, so waiting for it here cannot deadlock; results it
    // posted after this point are dropped together with the object.
    Stop();
}

void CThumbsView::Init()
{
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
}

int CThumbsView::AddFile(const QString& path, const QString& caption, const QImage& picture)
{
    if (path.isNull())
        return 0;
    if (m_placeholder.isNull())
        DrawItemThumbnail(-1, {});

    auto* item = new QListWidgetItem(m_placeholder, caption);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    const quint64 id = m_nextId++;
    item->setData(kPathRole, path);
    item->setData(kImageIndexRole, 0);
    item->setData(kIdRole, id);
    const int index = count();
    insertItem(index, item);
    m_items.emplace(id, item);

    if (!picture.isNull()) {
        DrawItemThumbnail(index, picture);
    } else {
        const std::lock_guard lock(m_waitingMutex);
        m_waiting.push_back({id, path});
    }
    return 0;
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
        m_placeholder = QIcon(QPixmap::fromImage(RenderTile({}, {}, true)));
        return;
    }
    QListWidgetItem* target = item(index);
    if (!target)
        return;
    RaiseMaxima(picture.size());
    target->setIcon(QIcon(QPixmap::fromImage(RenderTile(picture, picture.size(), false))));
    target->setData(kImageIndexRole, index + 1);
    const quint64 id = target->data(kIdRole).toULongLong();
    const std::lock_guard lock(m_waitingMutex);
    std::erase_if(m_waiting, [id](const Waiting& waiting) { return waiting.id == id; });
}

void CThumbsView::StartLoader()
{
    bool leaving = false;
    {
        const std::lock_guard lock(m_waitingMutex);
        leaving = m_loaderLeaving;
    }
    if (IsRunning() && !leaving)
        return;
    // A loader that found no more work is only returning and waits on nothing: joining is quick.
    if (IsRunning())
        Stop();
    {
        const std::lock_guard lock(m_waitingMutex);
        m_loaderLeaving = false;
    }
    Start();
}

int CThumbsView::ThreadProc()
{
    while (!StopRequested()) {
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
    const auto found = m_items.find(id);
    if (found == m_items.end())
        return; // removed while it was being drawn
    QListWidgetItem* target = found->second;
    const int index = row(target);
    target->setIcon(QIcon(QPixmap::fromImage(tile)));
    target->setData(kImageIndexRole, index + 1);
    emit thumbnailDrawn(index);
}

QString CThumbsView::GetFileName(int index) const
{
    const QListWidgetItem* found = item(index);
    return found ? found->data(kPathRole).toString() : QString();
}

int CThumbsView::ImageIndexOf(int index) const
{
    const QListWidgetItem* found = item(index);
    return found ? found->data(kImageIndexRole).toInt() : -1;
}

void CThumbsView::ForgetItem(QListWidgetItem* gone)
{
    const quint64 id = gone->data(kIdRole).toULongLong();
    m_items.erase(id);
    const std::lock_guard lock(m_waitingMutex);
    std::erase_if(m_waiting, [id](const Waiting& waiting) { return waiting.id == id; });
}

bool CThumbsView::RemoveItem(int index)
{
    if (index < 0 || index >= count())
        return false;
    emit itemDeleting(index);
    QListWidgetItem* gone = takeItem(index);
    ForgetItem(gone);
    delete gone;
    m_lastRemoved = index;
    if (count() > 0)
        scrollToItem(item(std::min(index, count() - 1)));
    return true;
}

void CThumbsView::DeleteSelected()
{
    setUpdatesEnabled(false);
    int from = 0;
    for (;;) {
        int found = -1;
        for (int r = from; r < count(); ++r) {
            if (item(r)->isSelected()) {
                found = r;
                break;
            }
        }
        if (found < 0)
            break;
        RemoveItem(found);
        from = found; // everything before it was not selected
    }
    RenumberImages();
    setUpdatesEnabled(true);
}

void CThumbsView::Clear()
{
    for (int index = count() - 1; index >= 0; --index)
        emit itemDeleting(index);
    QListWidget::clear();
    m_items.clear();
    {
        const std::lock_guard lock(m_waitingMutex);
        m_waiting.clear();
    }
    m_placeholder = QIcon();
}

void CThumbsView::RenumberImages()
{
    for (int index = 0; index < count(); ++index) {
        QListWidgetItem* each = item(index);
        if (each->data(kImageIndexRole).toInt() > 0)
            each->setData(kImageIndexRole, index + 1);
    }
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
    QListWidget::mousePressEvent(event);
}

void CThumbsView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::MiddleButton) {
        QListWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    QListWidgetItem* hit = itemAt(event->position().toPoint());
    if (!hit)
        return;
    if (hit->isSelected()) {
        DeleteSelected();
    } else {
        RemoveItem(row(hit));
        RenumberImages();
    }
}

void CThumbsView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_viewer)
        return;
    if (const QListWidgetItem* hit = itemAt(event->position().toPoint()))
        m_viewer->ShowImage(hit->data(kPathRole).toString());
}
