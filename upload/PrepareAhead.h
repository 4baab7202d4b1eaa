// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/Prepare.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

/// Prepares the files of a run ahead of their upload on a few threads and hands the results out
/// in list order. At most `jobs` files are in preparation at once, so memory does not grow with
/// the list; a few more per job may wait prepared (as files in the temporary folder), so that a
/// large photo in the way of the list's order keeps no other thread idle. With one job no thread
/// is made: each file is prepared inside Take, exactly as a plain loop would.
class CPrepareAhead
{
public:
    using Prepare = std::function<PreparedImage(const QString& source)>;

    /// No preparation starts once `stop` or `abort` is set; either may be null.
    CPrepareAhead(QStringList files, int jobs, Prepare prepare, const std::atomic<bool>* stop = nullptr,
        const std::atomic<bool>* abort = nullptr);
    /// Starts no more preparations, waits for the running ones and removes every file prepared
    /// and never taken.
    ~CPrepareAhead();
    CPrepareAhead(const CPrepareAhead&) = delete;
    CPrepareAhead& operator=(const CPrepareAhead&) = delete;

    /// The preparation of file `index`, waiting for it; indices are taken in increasing order. A
    /// file no thread has started yet (after a stop, say) is prepared here, on the caller's thread.
    PreparedImage Take(int index);

    /// One job per core of the machine.
    static int DefaultJobs();

private:
    void Run();
    bool Halted() const;
    void Discard(int index, const PreparedImage& prepared) const;

    const QStringList m_files;
    const int m_jobs;
    const int m_ahead; ///< how far past the next file to take a preparation may start
    const Prepare m_prepare;
    const std::atomic<bool>* m_stop;
    const std::atomic<bool>* m_abort;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<PreparedImage>> m_done;
    int m_nextToStart = 0;
    int m_nextToTake = 0;
    bool m_closing = false;
    std::vector<std::jthread> m_threads; ///< last: they go first, before what they use
};
