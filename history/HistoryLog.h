// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadLog.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

/// The upload history as a run's log: Record only queues the file; a thread of the log's own
/// measures it, makes its preview and writes its row, so an upload never waits for the history
/// and never fails because of it.
class HistoryLog : public UploadLog
{
public:
    /// `notice` is called once, on the log's thread, when the history could not be opened or a
    /// damaged one was set aside; the words are for the user. `written` is called there after
    /// each row, so that an open history window can show it.
    explicit HistoryLog(
        QString path, std::function<void(const QString&)> notice = {}, std::function<void()> written = {});
    /// Writes what is still queued, then ends the thread.
    ~HistoryLog() override;

    void Record(const UploadedFile& file) override;
    /// Waits until every file recorded so far is written (or given up).
    void Flush();
    const QString& Path() const { return m_path; }

private:
    void Run(std::stop_token stop);

    const QString m_path;
    const std::function<void(const QString&)> m_notice;
    const std::function<void()> m_written;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::deque<UploadedFile> m_queue;
    bool m_busy = false; ///< the thread holds a file it took from the queue
    std::jthread m_thread; // last: it starts when everything it uses is there
};
