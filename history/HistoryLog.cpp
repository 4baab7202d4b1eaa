// SPDX-License-Identifier: MIT
#include "history/HistoryLog.h"

#include "history/HistoryStore.h"
#include "imaging/Decode.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

namespace {

constexpr int kPreviewQuality = 80;

HistoryEntry EntryFor(const UploadedFile& file)
{
    HistoryEntry entry;
    entry.time = file.time;
    entry.source = QFileInfo(file.source).absoluteFilePath();
    entry.name = QFileInfo(file.source).fileName();
    entry.service = file.service;
    entry.addresses = file.addresses;
    entry.size = QFileInfo(file.sent).size();
    // Decoded small: JPEG shrinks as it decodes, and only the preview is wanted of the pixels.
    const QSize box(kHistoryPreviewSide, kHistoryPreviewSide);
    const DecodedImage decoded = DecodeImage(file.sent, box);
    if (decoded.isNull())
        return entry;
    entry.pixels = decoded.originalSize;
    QImage preview = decoded.image.width() > box.width() || decoded.image.height() > box.height()
        ? decoded.image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : decoded.image;
    if (preview.hasAlphaChannel()) {
        // JPEG has no transparency: it is shown on white, as the window's list is.
        QImage flat(preview.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, preview);
        preview = flat;
    }
    QBuffer buffer(&entry.preview);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kPreviewQuality);
    if (!writer.write(preview))
        entry.preview.clear();
    return entry;
}

} // namespace

HistoryLog::HistoryLog(
    QString path, std::function<void(const QString&)> notice, std::function<void()> written)
    : m_path(std::move(path))
    , m_notice(std::move(notice))
    , m_written(std::move(written))
    , m_thread([this](std::stop_token stop) { Run(stop); })
{ }

HistoryLog::~HistoryLog()
{
    Flush();
    m_thread.request_stop();
    m_changed.notify_all();
}

void HistoryLog::Record(const UploadedFile& file)
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(file);
    }
    m_changed.notify_all();
}

void HistoryLog::Flush()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void HistoryLog::Run(std::stop_token stop)
{
    std::unique_ptr<HistoryStore> store;
    bool told = false;
    bool givenUp = false;
    const auto tell = [&](const QString& notice) {
        if (!notice.isEmpty() && !told && m_notice) {
            told = true;
            m_notice(notice);
        }
    };
    const auto open = [&] {
        HistoryStore::Opened opened = HistoryStore::Open(m_path);
        tell(opened.notice);
        store = std::move(opened.store);
        givenUp = !store;
    };
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, stop, [this] { return !m_queue.empty(); });
        if (m_queue.empty())
            return;
        const UploadedFile file = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        // Opened on the first file, so that a wizard that uploads nothing never touches the file.
        if (!store && !givenUp)
            open();
        if (store) {
            const HistoryEntry entry = EntryFor(file);
            bool added = store->Add(entry) > 0;
            if (!added && store->Damaged()) {
                // Damaged while in use: set aside, and the row goes into a new file.
                store.reset();
                const QString target = HistoryStore::SetAside(m_path);
                tell(QStringLiteral(
                    "История загрузок была повреждена. Файл перемещён в %1, начата новая история.")
                         .arg(target));
                open();
                added = store && store->Add(entry) > 0;
            }
            if (added && m_written)
                m_written();
        }
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
