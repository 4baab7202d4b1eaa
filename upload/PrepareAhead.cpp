// SPDX-License-Identifier: MIT
#include "upload/PrepareAhead.h"

#include <QFile>
#include <QThread>
#include <algorithm>
#include <system_error>

CPrepareAhead::CPrepareAhead(QStringList files, int jobs, Prepare prepare, const std::atomic<bool>* stop,
    const std::atomic<bool>* abort)
    : m_files(std::move(files))
    , m_jobs(std::max(1, jobs))
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
            return Halted() || m_nextToStart >= m_files.size() || m_nextToStart < m_nextToTake + m_jobs;
        });
        if (Halted() || m_nextToStart >= m_files.size())
            return;
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
    if (index >= m_nextToStart) {
        // Not started: by a thread that stopped, or there are none. Prepared here and now.
        m_nextToStart = index + 1;
        lock.unlock();
        PreparedImage prepared = m_prepare(m_files[index]);
        lock.lock();
        m_done[size_t(index)] = std::move(prepared);
    }
    m_changed.wait(lock, [&] { return m_done[size_t(index)].has_value(); });
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
