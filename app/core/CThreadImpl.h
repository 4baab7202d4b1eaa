// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <thread>

/// Holds one worker thread. Threads are never killed: a worker ends by returning from its
/// routine, which it does soon after it sees the stop request.
class CThreadT
{
public:
    CThreadT() = default;
    CThreadT(const CThreadT&) = delete;
    CThreadT& operator=(const CThreadT&) = delete;
    virtual ~CThreadT()
    {
        // The owner has stopped its worker in its own destructor (it must: the worker runs the
        // owner's code). Joining here only catches an owner that forgot.
        if (m_thread.joinable())
            m_thread.join();
    }

protected:
    std::thread m_thread;
    std::atomic<bool> m_running {false};
};

/// Worker-thread mix-in: `T` supplies `int ThreadProc()` and polls `StopRequested()` between units
/// of work. Owners call `Stop()` in their destructor, so the thread never outlives the object.
template<class T> class CThreadImpl : public CThreadT
{
public:
    virtual ~CThreadImpl() { Stop(); }

    /// Clears the stop request and starts `ThreadProc` on a new thread. False while a previous
    /// worker still runs (two workers of one owner would share its state) or when no thread can be made.
    virtual bool Start()
    {
        if (IsRunning())
            return false;
        if (m_thread.joinable())
            m_thread.join(); // a worker that ended by itself
        m_stop = false;
        m_running = true;
        try {
            m_thread = std::thread([this] {
                m_exitCode = static_cast<T*>(this)->ThreadProc();
                m_running = false;
            });
        } catch (...) {
            m_running = false;
            return false;
        }
        return true;
    }

    /// Asks the worker to stop at its next poll; does not wait. False when there is no thread.
    bool RequestStop()
    {
        if (!m_thread.joinable())
            return false;
        m_stop = true;
        return true;
    }

    /// Asks the worker to stop and waits for it. Must not be called while the worker waits on the caller.
    virtual void Stop()
    {
        if (!RequestStop())
            return;
        m_thread.join();
    }

    bool IsRunning() const { return m_running.load(); }
    bool StopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    /// The stop request itself, for blocking calls (transfers, decoders) that poll it.
    const std::atomic<bool>* StopFlag() const { return &m_stop; }
    int ExitCode() const { return m_exitCode.load(); }

private:
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_exitCode {0};
};
