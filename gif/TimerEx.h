// SPDX-License-Identifier: GPL-3.0-or-later
// TTimerEx: a non-visual timer component that calls OnTimer every Interval milliseconds, either
// from a QTimer on the thread the timer belongs to (the window path, Threaded off) or from a worker
// thread of its own, TTimerThread (the thread path, Threaded on).
//
// Window path: a QTimer owned by the component (WindowHandle) times the period; every change of a
// property that leaves the timer running stops and restarts it, so the period starts again then.
// Intervals above 2147483647 ms (24.8 days) are held at that value, the longest a QTimer can wait.
//
// Thread path: the worker sleeps Interval ms on a condition variable (read afresh at the start of
// every sleep), then hands the tick to the timer's thread with a blocking queued call and waits
// until it has run there, so each period starts only after the previous tick has returned. With
// ThreadSafe on, the worker calls FireTimer itself, concurrently with the timer's thread. Stopping
// the timer suspends the worker (it stays, waiting); selecting the window path again or destroying
// the timer ends it. A sleep in progress always runs to its end; a new Interval counts from the
// next sleep; a worker held suspended past the end of its sleep ticks as soon as it is resumed.
//
// Lifetime: destroying the timer returns without waiting for a sleeping worker; the worker is
// woken, sees it is terminated, never ticks again and never touches the timer, and ends on its own.
// A tick already handed to the timer's thread is dropped. The only wait is for a FireTimer that is
// running on a worker at that moment (ThreadSafe on): the destructor, and selecting the window
// path, let it return first, so no handler or overridden FireTimer ever runs on a destroyed timer.
// Such a handler must therefore not block on the timer's thread, and must not destroy the timer
// itself (a QObject is destroyed on its own thread). A handler that runs on the timer's thread may
// destroy its own timer. A subclass whose FireTimer runs on a worker should set Threaded off in its
// own destructor, before its members go.
//
// Stale ticks: a tick that reaches FireTimer after the timer was stopped (disabled, Interval 0, no
// handler) does nothing, on either path.
//
// Handler exceptions: an exception leaving OnTimer never ends the program or the ticking. It goes
// to the application's exception handling (SetApplicationExceptionHandler) on the timer's thread,
// with the timer as sender; from a worker (ThreadSafe on) it is carried over to the application's
// main thread first. Without an installed handler the message is written to standard error.
//
// Threads: properties are written only on the thread the timer belongs to (the user-interface
// thread); a write from any other thread, for example from a ThreadSafe handler, throws
// std::logic_error and changes nothing. Reading the property values is safe from any thread;
// TimerThread and WindowHandle are for the timer's own thread.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "NotifyEvent.h"

class QTimer;
class TTimerEx;

// Raised when no timer can be had: the QTimer cannot be started or created, or no worker thread
// can be started. The message is "No More Timers Available".
class EOutOfResources : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kNoMoreTimersMessage = "No More Timers Available";

namespace timer_ex_detail {
struct TimerLink;
}

// The worker of the thread path. It serves one timer, reaching it only through a shared link that
// the timer cuts when it is destroyed, and frees itself when its thread ends.
//
// Priorities on Linux (set per thread on its kernel thread id):
//   tpIdle          SCHED_IDLE (runs only when the CPU has nothing else to do)
//   tpLowest        nice +10      tpLower  nice +5      tpNormal  nice 0
//   tpHigher        nice -5       tpHighest nice -10
//   tpTimeCritical  SCHED_RR at its lowest real-time level; where that is refused, nice -20
// An unprivileged process (no CAP_SYS_NICE, RLIMIT_NICE 0) may lower a thread's priority but never
// raise it again: tpHigher, tpHighest and tpTimeCritical then leave the thread at nice 0, and a
// worker once lowered keeps its lowest level until the thread path is selected anew (which starts
// a fresh worker). Refusals are not errors; the priority is a wish to the scheduler.
class TTimerThread {
public:
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    bool Suspended() const;
    bool Terminated() const;
    // True while a tick waits for the timer's thread to run it.
    bool TickWaiting() const;
    TThreadPriority Priority() const;
    // Kernel thread id, or 0 before the thread has started or after it has ended.
    int ThreadId() const;
    // The timer served, or null once the worker is terminated or the timer destroyed.
    TTimerEx* Timer() const;

    // Number of worker threads of all timers that have not yet ended.
    static int RunningCount();

private:
    friend class TTimerEx;
    explicit TTimerThread(std::shared_ptr<timer_ex_detail::TimerLink> link, TThreadPriority priority);

    // Starts a suspended worker for the timer behind `link`; throws EOutOfResources on failure.
    static std::shared_ptr<TTimerThread> Create(std::shared_ptr<timer_ex_detail::TimerLink> link,
                                                TThreadPriority priority);
    void Suspend();
    // Our suspension is a flag, not a count, so one resume always leaves the worker running.
    void Resume();
    // Marks the worker to end and wakes it; it ends without ticking again.
    void Terminate();
    void SetPriority(TThreadPriority priority);

    static void Run(std::shared_ptr<TTimerThread> self);
    void RunTick(std::unique_lock<std::mutex>& lock);
    void RunHandedOffTick();
    void ApplyPriorityLocked();

    std::shared_ptr<timer_ex_detail::TimerLink> link_;
    // Guarded by link_->mutex.
    bool suspended_ = true;
    bool terminated_ = false;
    bool tickWaiting_ = false;
    TThreadPriority priority_;
    int threadId_ = 0;
};

class TTimerEx : public QObject {
    Q_OBJECT

public:
    // An application's handling of an exception that an event handler let escape: `sender` is the
    // timer (null when it no longer exists), `error` the exception. Called on the user-interface
    // thread.
    using TExceptionHandler = std::function<void(QObject* sender, std::exception_ptr error)>;

    // Creates a stopped timer on the window path (Enabled, Interval 1000 ms, tpNormal).
    explicit TTimerEx(QObject* owner = nullptr);
    ~TTimerEx() override;

    // Setters store the value and bring the timer in line with it. They throw std::logic_error when
    // called off the timer's thread (nothing changes), std::invalid_argument for a priority outside
    // tpIdle..tpTimeCritical, and EOutOfResources when no QTimer or worker can be had (the new value
    // stays stored, the timer stays stopped).
    bool Enabled() const { return enabled_.load(); }
    void SetEnabled(bool value);
    // Tick period in milliseconds; 0 stops the timer.
    std::uint32_t Interval() const { return interval_.load(); }
    void SetInterval(std::uint32_t value);
    TNotifyEvent OnTimer() const;
    // Stores the handler and reconfigures even when it is the same one (restarting the period).
    void SetOnTimer(TNotifyEvent value);
    bool Threaded() const { return threaded_.load(); }
    void SetThreaded(bool value);
    TThreadPriority ThreadPriority() const { return priority_.load(); }
    // Applied at once on the thread path; otherwise stored until the thread path starts.
    void SetThreadPriority(TThreadPriority value);
    bool ThreadSafe() const { return threadSafe_.load(); }
    // Only stored: the worker reads it at every tick.
    void SetThreadSafe(bool value);

    // The worker while the thread path is selected, else null.
    TTimerThread* TimerThread() const { return thread_.get(); }
    // The QTimer while the window path is selected, else null.
    QTimer* WindowHandle() const { return windowTimer_; }

    // One tick: calls OnTimer with this timer as sender when Enabled is on and a handler is set.
    // Every tick of either path comes through here; nothing here touches the timer after the
    // handler returns.
    virtual void FireTimer();

    // Installs the application's exception handling for handler exceptions (process-wide).
    static void SetApplicationExceptionHandler(TExceptionHandler handler);
    // Passes `error` to the installed handling, or writes its message to standard error.
    static void HandleApplicationException(QObject* sender, std::exception_ptr error);

private:
    // Runs the tick the current worker is waiting to hand over (queued from the worker).
    Q_INVOKABLE void RunWaitingTick();
    // Passes exceptions that handlers raised on workers to the application (queued from a worker).
    Q_INVOKABLE void ReportWorkerExceptions();
    void TimerWindowProc();
    // Brings the tick sources in line with the properties; throws EOutOfResources.
    void Reconfigure();
    bool Running() const;
    void RequireOwnThread() const;

    std::atomic<bool> enabled_{true};
    std::atomic<std::uint32_t> interval_{1000};
    std::atomic<bool> threaded_{false};
    std::atomic<TThreadPriority> priority_{tpNormal};
    std::atomic<bool> threadSafe_{false};
    mutable std::mutex handlerMutex_;
    TNotifyEvent onTimer_;
    std::shared_ptr<TTimerThread> thread_;
    QTimer* windowTimer_ = nullptr;
    std::shared_ptr<timer_ex_detail::TimerLink> link_;
};
