// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

/// The worker thread of an owner `T`, which supplies `int ThreadProc(std::stop_token)` and polls
/// the token between units of work. Threads are never killed: a worker ends by returning, soon
/// after it sees the stop request.
///
/// The owner holds this as a member, declared after everything its thread uses, and stops the
/// thread in its own destructor: by then its other members are still there. A worker whose
/// owner gives up waiting can be abandoned instead; it must then work on state it shares
/// ownership of, not on its owner.
template<class T> class CThreadImpl
{
public:
    explicit CThreadImpl(T& owner)
        : m_owner(&owner)
    { }
    ~CThreadImpl()
    {
        Q_ASSERT_X(!IsRunning(), "CThreadImpl", "the owner stops its thread before its members go");
        Stop();
    }
    CThreadImpl(const CThreadImpl&) = delete;
    CThreadImpl& operator=(const CThreadImpl&) = delete;

    /// Starts ThreadProc(stop, args...) with a fresh stop request; the arguments are the worker's
    /// own copies. False while a previous worker still runs (two workers of one owner would share
    /// its state) or when no thread can be made.
    template<class... Args> bool Start(Args... args)
    {
        if (IsRunning())
            return false;
        Stop(); // a worker that ended by itself: its thread is joined at once
        auto running = std::make_shared<Running>();
        try {
            m_thread = std::jthread(
                [owner = m_owner, running, ... args = std::move(args)](std::stop_token stop) mutable {
                    owner->ThreadProc(stop, std::move(args)...);
                    running->End();
                });
        } catch (...) {
            return false;
        }
        m_running = std::move(running);
        return true;
    }

    /// Asks the worker to stop at its next poll; does not wait. False when there is no thread.
    bool RequestStop()
    {
        if (!m_thread.joinable())
            return false;
        m_thread.request_stop();
        return true;
    }

    /// Asks the worker to stop and waits for it. Not for a worker that may wait on the caller.
    void Stop()
    {
        if (RequestStop())
            m_thread.join();
    }

    /// Asks the worker to stop and lets it end on its own; a new Start may follow at once.
    void Abandon()
    {
        if (RequestStop())
            m_thread.detach();
        m_running.reset();
    }

    /// Asks the worker to stop and waits for it up to `limit`; one that has not ended by then is
    /// abandoned. True when it ended in time. For an owner that must go while its worker may be
    /// caught in work that no stop request reaches.
    bool StopWithin(std::chrono::milliseconds limit)
    {
        RequestStop();
        if (m_running && !m_running->WaitFor(limit)) {
            Abandon();
            return false;
        }
        Stop();
        return true;
    }

    bool IsRunning() const { return m_running && m_running->IsOn(); }

private:
    // Shared with the thread, which may outlive the owner once abandoned.
    class Running
    {
    public:
        bool IsOn() const
        {
            const std::lock_guard lock(m_mutex);
            return m_on;
        }
        void End()
        {
            {
                const std::lock_guard lock(m_mutex);
                m_on = false;
            }
            m_ended.notify_all();
        }
        /// False when the worker still runs after `limit`.
        bool WaitFor(std::chrono::milliseconds limit)
        {
            std::unique_lock lock(m_mutex);
            return m_ended.wait_for(lock, limit, [this] { return !m_on; });
        }

    private:
        mutable std::mutex m_mutex;
        std::condition_variable m_ended;
        bool m_on = true;
    };

    T* m_owner;
    std::jthread m_thread;
    std::shared_ptr<Running> m_running;
};
