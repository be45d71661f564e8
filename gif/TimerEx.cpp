// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimerEx.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <iterator>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace timer_ex_detail {

// What a timer shares with its workers. The timer cuts `timer` when it is destroyed; a worker
// reaches its timer only through here and only under `mutex`, which also guards the workers' flags.
struct TimerLink {
    std::mutex mutex;
    std::condition_variable changed;
    TTimerEx* timer = nullptr;
    // FireTimer calls running on workers right now; the timer's destructor waits for them.
    int firesOnWorkers = 0;
    // Exceptions that handlers raised on workers, waiting to reach the application.
    std::vector<std::exception_ptr> workerExceptions;
};

}  // namespace timer_ex_detail

using timer_ex_detail::TimerLink;

namespace {

std::atomic<int> runningWorkers{0};

// The link of the timer whose worker runs on this thread, so that a timer destroyed by a handler
// on its own worker does not wait for that very handler.
thread_local const TimerLink* currentWorkerLink = nullptr;

struct PriorityLevel {
    TThreadPriority priority;
    int policy;
    int nice;
};

// One row per TThreadPriority, in order; SCHED_IDLE ignores nice values, so none is set for it.
// clang-format off
constexpr PriorityLevel kPriorityLevels[] = {
    {tpIdle,         SCHED_IDLE,    0},
    {tpLowest,       SCHED_OTHER,  10},
    {tpLower,        SCHED_OTHER,   5},
    {tpNormal,       SCHED_OTHER,   0},
    {tpHigher,       SCHED_OTHER,  -5},
    {tpHighest,      SCHED_OTHER, -10},
    {tpTimeCritical, SCHED_RR,    -20},
};
// clang-format on
static_assert(std::size(kPriorityLevels) == tpTimeCritical + 1);
static_assert([] {
    for (std::size_t i = 0; i < std::size(kPriorityLevels); ++i)
        if (kPriorityLevels[i].priority != static_cast<TThreadPriority>(i)) return false;
    return true;
}());

// Sets the scheduling of kernel thread `tid`. The kernel refuses raising a priority to an
// unprivileged process; the thread then keeps what it has, which is all that can be done.
void ApplyPriority(int tid, TThreadPriority priority) {
    const int index = static_cast<int>(priority);
    if (index < 0 || index >= static_cast<int>(std::size(kPriorityLevels))) return;
    const PriorityLevel& level = kPriorityLevels[index];
    sched_param param{};
    if (level.policy == SCHED_RR) {
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        if (sched_setscheduler(tid, SCHED_RR, &param) == 0) return;
        param.sched_priority = 0;
    }
    const int policy = level.policy == SCHED_IDLE ? SCHED_IDLE : SCHED_OTHER;
    if (sched_getscheduler(tid) != policy) (void)sched_setscheduler(tid, policy, &param);
    if (policy != SCHED_IDLE) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), level.nice);
}

std::string ExceptionMessage(const std::exception_ptr& error) {
    if (!error) return "unknown error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

void WriteToStandardError(const std::exception_ptr& error) {
    std::fprintf(stderr, "TTimerEx: OnTimer handler failed: %s\n", ExceptionMessage(error).c_str());
}

std::mutex exceptionHandlerMutex;
TTimerEx::TExceptionHandler exceptionHandler;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TTimerThread

TTimerThread::TTimerThread(std::shared_ptr<TimerLink> link, TThreadPriority priority)
    : link_(std::move(link)), priority_(priority) {}

TTimerThread::~TTimerThread() = default;

std::shared_ptr<TTimerThread> TTimerThread::Create(std::shared_ptr<TimerLink> link, TThreadPriority priority) {
    std::shared_ptr<TTimerThread> worker;
    try {
        worker.reset(new TTimerThread(std::move(link), priority));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(kNoMoreTimersMessage);
    }
    runningWorkers.fetch_add(1);
    try {
        std::thread(&TTimerThread::Run, worker).detach();
    } catch (const std::exception&) {
        runningWorkers.fetch_sub(1);
        throw EOutOfResources(kNoMoreTimersMessage);
    }
    return worker;
}

bool TTimerThread::Suspended() const {
    std::lock_guard lock(link_->mutex);
    return suspended_;
}

bool TTimerThread::Terminated() const {
    std::lock_guard lock(link_->mutex);
    return terminated_;
}

bool TTimerThread::TickWaiting() const {
    std::lock_guard lock(link_->mutex);
    return tickWaiting_ && !terminated_;
}

TThreadPriority TTimerThread::Priority() const {
    std::lock_guard lock(link_->mutex);
    return priority_;
}

int TTimerThread::ThreadId() const {
    std::lock_guard lock(link_->mutex);
    return threadId_;
}

TTimerEx* TTimerThread::Timer() const {
    std::lock_guard lock(link_->mutex);
    return terminated_ ? nullptr : link_->timer;
}

int TTimerThread::RunningCount() {
    return runningWorkers.load();
}

void TTimerThread::Suspend() {
    std::lock_guard lock(link_->mutex);
    suspended_ = true;
}

void TTimerThread::Resume() {
    std::lock_guard lock(link_->mutex);
    suspended_ = false;
    link_->changed.notify_all();
}

void TTimerThread::Terminate() {
    std::lock_guard lock(link_->mutex);
    terminated_ = true;
    link_->changed.notify_all();
}

void TTimerThread::SetPriority(TThreadPriority priority) {
    std::lock_guard lock(link_->mutex);
    priority_ = priority;
    ApplyPriorityLocked();
}

void TTimerThread::ApplyPriorityLocked() {
    // Before the thread runs there is no id yet; it applies the priority itself when it starts.
    // A thread that has been told to end may already be gone, and its id reused.
    if (threadId_ != 0 && !terminated_) ApplyPriority(threadId_, priority_);
}

void TTimerThread::Run(std::shared_ptr<TTimerThread> self) {
    currentWorkerLink = self->link_.get();
    {
        TimerLink& link = *self->link_;
        std::unique_lock lock(link.mutex);
        self->threadId_ = static_cast<int>(::gettid());
        self->ApplyPriorityLocked();
        const auto resumedOrTerminated = [&] { return self->terminated_ || !self->suspended_; };
        for (;;) {
            // A suspended worker does not begin a sleep; it reads the period once resumed.
            link.changed.wait(lock, resumedOrTerminated);
            if (self->terminated_) break;
            // While not terminated the timer exists: its destructor terminates the worker first.
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(link.timer->Interval());
            // Suspending and resuming never shortens or restarts the sleep; ending it early only
            // serves to let a terminated worker go at once.
            link.changed.wait_until(lock, end, [&] { return self->terminated_; });
            link.changed.wait(lock, resumedOrTerminated);
            if (self->terminated_) break;
            self->RunTick(lock);
        }
        self->threadId_ = 0;
    }
    currentWorkerLink = nullptr;
    self.reset();
    runningWorkers.fetch_sub(1);
}

void TTimerThread::RunTick(std::unique_lock<std::mutex>& lock) {
    TimerLink& link = *link_;
    TTimerEx* timer = link.timer;
    if (timer->ThreadSafe()) {
        ++link.firesOnWorkers;
        lock.unlock();
        std::exception_ptr error;
        try {
            timer->FireTimer();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error && link.timer == nullptr) {
            // The handler destroyed its own timer on this thread; there is nobody left to tell.
            WriteToStandardError(error);
        } else if (error) {
            // The timer still exists here (its destructor waits for this call to be counted out).
            link.workerExceptions.push_back(std::move(error));
            QMetaObject::invokeMethod(timer, "ReportWorkerExceptions", Qt::QueuedConnection);
        }
        --link.firesOnWorkers;
        link.changed.notify_all();
        return;
    }
    // The queued call carries no data of ours: what the timer's thread needs it reads from this
    // worker under the link's lock, so the hand-off is visible to race detectors as well.
    tickWaiting_ = true;
    if (!QMetaObject::invokeMethod(timer, "RunWaitingTick", Qt::QueuedConnection)) {
        tickWaiting_ = false;
        return;
    }
    link.changed.wait(lock, [&] { return terminated_ || !tickWaiting_; });
}

void TTimerThread::RunHandedOffTick() {
    TTimerEx* timer = nullptr;
    {
        std::lock_guard lock(link_->mutex);
        // A tick that arrives after the timer was stopped (worker suspended) is dropped.
        if (tickWaiting_ && !terminated_ && !suspended_) timer = link_->timer;
    }
    if (timer != nullptr) {
        QPointer<TTimerEx> alive(timer);
        try {
            timer->FireTimer();
        } catch (...) {
            TTimerEx::HandleApplicationException(alive.data(), std::current_exception());
        }
    }
    // The handler may have destroyed the timer; only the worker's own state is touched here.
    std::lock_guard lock(link_->mutex);
    tickWaiting_ = false;
    link_->changed.notify_all();
}

// ---------------------------------------------------------------------------------------------
// TTimerEx

TTimerEx::TTimerEx(QObject* owner) : QObject(owner), link_(std::make_shared<TimerLink>()) {
    link_->timer = this;
    Reconfigure();
}

TTimerEx::~TTimerEx() {
    enabled_.store(false);
    std::shared_ptr<TTimerThread> worker = std::move(thread_);
    std::vector<std::exception_ptr> unreported;
    {
        std::unique_lock lock(link_->mutex);
        link_->timer = nullptr;
        if (worker) worker->terminated_ = true;
        link_->changed.notify_all();
        const int ownFire = currentWorkerLink == link_.get() ? 1 : 0;
        link_->changed.wait(lock, [&] { return link_->firesOnWorkers <= ownFire; });
        unreported.swap(link_->workerExceptions);
    }
    if (windowTimer_ != nullptr) {
        if (QThread::currentThread() == thread()) {
            delete windowTimer_;
        } else {
            // A QTimer can only be stopped on its own thread: let that thread delete it.
            disconnect(windowTimer_, nullptr, this, nullptr);
            windowTimer_->setParent(nullptr);
            windowTimer_->deleteLater();
        }
        windowTimer_ = nullptr;
    }
    for (const std::exception_ptr& error : unreported) HandleApplicationException(nullptr, error);
}

void TTimerEx::RequireOwnThread() const {
    if (QThread::currentThread() != thread())
        throw std::logic_error("TTimerEx properties can only be written on the timer's own thread");
}

void TTimerEx::SetEnabled(bool value) {
    RequireOwnThread();
    if (enabled_.load() == value) return;
    enabled_.store(value);
    Reconfigure();
}

void TTimerEx::SetInterval(std::uint32_t value) {
    RequireOwnThread();
    if (interval_.load() == value) return;
    interval_.store(value);
    Reconfigure();
}

TNotifyEvent TTimerEx::OnTimer() const {
    std::lock_guard lock(handlerMutex_);
    return onTimer_;
}

void TTimerEx::SetOnTimer(TNotifyEvent value) {
    RequireOwnThread();
    {
        std::lock_guard lock(handlerMutex_);
        std::swap(onTimer_, value);
    }
    Reconfigure();
}

void TTimerEx::SetThreaded(bool value) {
    RequireOwnThread();
    if (threaded_.load() == value) return;
    threaded_.store(value);
    Reconfigure();
}

void TTimerEx::SetThreadPriority(TThreadPriority value) {
    RequireOwnThread();
    if (value < tpIdle || value > tpTimeCritical)
        throw std::invalid_argument("TTimerEx thread priority out of range: " + std::to_string(int(value)));
    if (priority_.load() == value) return;
    priority_.store(value);
    if (threaded_.load()) Reconfigure();
}

void TTimerEx::SetThreadSafe(bool value) {
    RequireOwnThread();
    threadSafe_.store(value);
}

bool TTimerEx::Running() const {
    if (interval_.load() == 0 || !enabled_.load()) return false;
    std::lock_guard lock(handlerMutex_);
    return onTimer_.Assigned();
}

void TTimerEx::Reconfigure() {
    if (thread_ && !thread_->Suspended()) thread_->Suspend();
    if (windowTimer_ != nullptr) windowTimer_->stop();

    if (threaded_.load()) {
        if (windowTimer_ != nullptr) {
            delete windowTimer_;
            windowTimer_ = nullptr;
        }
        if (!thread_) thread_ = TTimerThread::Create(link_, priority_.load());
    } else {
        if (thread_) {
            // The worker ends on its own and does not tick again; a FireTimer it is running right
            // now is let finish, so that none runs on a worker once the window path is selected.
            thread_->Terminate();
            thread_.reset();
            std::unique_lock lock(link_->mutex);
            link_->changed.wait(lock, [&] { return link_->firesOnWorkers == 0; });
        }
        if (windowTimer_ == nullptr) {
            try {
                windowTimer_ = new QTimer(this);
            } catch (const std::bad_alloc&) {
                throw EOutOfResources(kNoMoreTimersMessage);
            }
            windowTimer_->setTimerType(Qt::PreciseTimer);
            connect(windowTimer_, &QTimer::timeout, this, &TTimerEx::TimerWindowProc);
        }
    }

    if (!Running()) return;
    if (threaded_.load()) {
        thread_->SetPriority(priority_.load());
        thread_->Resume();
    } else {
        const std::uint32_t interval = interval_.load();
        windowTimer_->start(interval > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(interval));
        // Qt reports a timer it could not register (no event dispatcher on this thread) as id 0.
        if (windowTimer_->timerId() <= 0) {
            windowTimer_->stop();
            throw EOutOfResources(kNoMoreTimersMessage);
        }
    }
}

void TTimerEx::FireTimer() {
    if (!enabled_.load()) return;
    const TNotifyEvent handler = OnTimer();
    if (handler.Assigned()) handler(this);
}

void TTimerEx::TimerWindowProc() {
    QPointer<TTimerEx> alive(this);
    try {
        FireTimer();
    } catch (...) {
        HandleApplicationException(alive.data(), std::current_exception());
    }
}

void TTimerEx::RunWaitingTick() {
    // The handler may destroy this timer, and with it the last reference the timer holds.
    const std::shared_ptr<TTimerThread> worker = thread_;
    if (worker) worker->RunHandedOffTick();
}

void TTimerEx::ReportWorkerExceptions() {
    std::vector<std::exception_ptr> errors;
    {
        std::lock_guard lock(link_->mutex);
        errors.swap(link_->workerExceptions);
    }
    QPointer<TTimerEx> alive(this);
    for (const std::exception_ptr& error : errors) HandleApplicationException(alive.data(), error);
}

void TTimerEx::SetApplicationExceptionHandler(TExceptionHandler handler) {
    std::lock_guard lock(exceptionHandlerMutex);
    exceptionHandler = std::move(handler);
}

void TTimerEx::HandleApplicationException(QObject* sender, std::exception_ptr error) {
    TExceptionHandler handler;
    {
        std::lock_guard lock(exceptionHandlerMutex);
        handler = exceptionHandler;
    }
    if (handler) {
        try {
            handler(sender, error);
            return;
        } catch (...) {
            // The application's own handling failed; fall back to standard error below.
        }
    }
    WriteToStandardError(error);
}
