// SPDX-License-Identifier: MIT
#include "upload/PrepareAhead.h"

#include <QFile>
#include <QThread>
#include <algorithm>
#include <system_error>

namespace {

// Files of mixed sizes: while one thread prepares a large photo that the list waits for, the
// others go on with the small ones behind it. With room for only one file per thread beyond
// the one waited for, they stood idle after one small file each, and a set that alternates large
// and small photos kept a second core mostly idle. Waiting results cost disk, not memory.
constexpr int kAheadPerJob = 4;

} // namespace

CPrepareAhead::CPrepareAhead(QStringList files, int jobs, Prepare prepare, const std::atomic<bool>* stop,
    const std::atomic<bool>* abort)
    : m_files(std::move(files))
    , m_jobs(std::max(1, jobs))
    , m_ahead(m_jobs * kAheadPerJob)
    , m_prepare(std::move(prepare))
    , m_stop(stop)
    , m_abort(abort)
    , m_done(size_t(m_files.size()))
{
    if (m_jobs == 1)
        return;
    const int threads = int(std::min<qsizetype>(m_jobs, m_files.size()));
    try {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { Run(); });
    } catch (const std::system_error&) {
        // Fewer threads than asked do the same work; with none, Take prepares each file itself.
    }
}

CPrepareAhead::~CPrepareAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    // Joins: a preparation that runs is not interruptible, so a stop waits for it (one picture
    // per thread at most); nothing new starts meanwhile.
    m_threads.clear();
    for (int i = m_nextToTake; i < int(m_done.size()); ++i) {
        if (m_done[size_t(i)])
            Discard(i, *m_done[size_t(i)]);
    }
}

int CPrepareAhead::DefaultJobs()
{
    return std::max(1, QThread::idealThreadCount());
}

bool CPrepareAhead::Halted() const
{
    return m_closing || (m_stop && m_stop->load()) || (m_abort && m_abort->load());
}

void CPrepareAhead::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A thread waits while the files ahead fill the window; a stop lets it end.
        m_changed.wait(lock, [this] {
            return Halted() || m_nextToStart >= m_files.size() || m_nextToStart < m_nextToTake + m_ahead;
        });
        if (Halted() || m_nextToStart >= m_files.size()) {
            // Take may wait for a file this thread would have started; it prepares it itself now.
            m_changed.notify_all();
            return;
        }
        const int index = m_nextToStart++;
        lock.unlock();
        PreparedImage prepared = m_prepare(m_files[index]);
        lock.lock();
        m_done[size_t(index)] = std::move(prepared);
        m_changed.notify_all();
    }
}

PreparedImage CPrepareAhead::Take(int index)
{
    std::unique_lock lock(m_mutex);
    Q_ASSERT(index == m_nextToTake && index < m_files.size());
    // Not started: by threads that stopped, or there are none. Prepared here and now. While
    // threads run they take it up themselves, so that no more than `jobs` files are prepared at
    // once (the first file, asked for before a thread has started, included).
    const auto mine = [&] { return index >= m_nextToStart && (m_threads.empty() || Halted()); };
    m_changed.wait(lock, [&] { return m_done[size_t(index)].has_value() || mine(); });
    if (!m_done[size_t(index)]) {
        m_nextToStart = index + 1;
        lock.unlock();
        PreparedImage prepared = m_prepare(m_files[index]);
        lock.lock();
        m_done[size_t(index)] = std::move(prepared);
    }
    PreparedImage prepared = std::move(*m_done[size_t(index)]);
    m_done[size_t(index)].reset();
    m_nextToTake = index + 1;
    lock.unlock();
    m_changed.notify_all();
    return prepared;
}

void CPrepareAhead::Discard(int index, const PreparedImage& prepared) const
{
    // A picture kept as it is is the user's own file.
    if (prepared.ok() && prepared.path != m_files[index])
        QFile::remove(prepared.path);
    if (!prepared.thumbPath.isEmpty())
        QFile::remove(prepared.thumbPath);
}
