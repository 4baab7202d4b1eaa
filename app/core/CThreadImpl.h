// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>
#include <atomic>
#include <memory>
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
        auto running = std::make_shared<std::atomic<bool>>(true);
        try {
            m_thread = std::jthread(
                [owner = m_owner, running, ... args = std::move(args)](std::stop_token stop) mutable {
                    owner->ThreadProc(stop, std::move(args)...);
                    *running = false;
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

    bool IsRunning() const { return m_running && m_running->load(); }

private:
    T* m_owner;
    std::jthread m_thread;
    std::shared_ptr<std::atomic<bool>> m_running;
};
