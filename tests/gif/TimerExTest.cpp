// SPDX-License-Identifier: GPL-3.0-or-later
// TTimerEx on its three tick routes: the QTimer on the user-interface thread, the worker handing
// each tick over to the user-interface thread, and the worker calling the handler itself. Waits
// process events until a condition holds or a generous deadline passes; the only time measured is
// a loose bound on the period, wide enough for a loaded machine, that still catches a wrong unit.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <thread>

#include "TimerEx.h"

namespace {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 20s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Lets the event loop run for a while so that ticks which should not come have the chance to.
void Pump(std::chrono::milliseconds span) {
    WaitUntil([] { return false; }, span);
}

bool WorkersGone() {
    return WaitUntil([] { return TTimerThread::RunningCount() == 0; });
}

bool OnUiThread() {
    return QThread::currentThread() == qApp->thread();
}

enum class Route { Window, HandOver, OnWorker };

const char* RouteName(Route route) {
    static const char* const names[] = {"Window", "HandOver", "OnWorker"};
    return names[static_cast<int>(route)];
}

void PrintTo(Route route, std::ostream* out) {
    *out << RouteName(route);
}

void SelectRoute(TTimerEx& timer, Route route) {
    timer.SetThreadSafe(route == Route::OnWorker);
    timer.SetThreaded(route != Route::Window);
}

struct TickLog {
    std::atomic<int> count{0};
    std::atomic<QObject*> sender{nullptr};
    std::atomic<bool> offUiThread{false};

    TNotifyEvent Handler() {
        return TNotifyEvent([this](QObject* s) {
            sender = s;
            if (!OnUiThread()) offUiThread = true;
            ++count;
        });
    }
};

class TimerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WorkersGone()); }
    void TearDown() override {
        TTimerEx::SetApplicationExceptionHandler(nullptr);
        EXPECT_TRUE(WorkersGone()) << "a worker thread outlived its timer";
    }
};

class TimerRoutes : public TimerTest, public testing::WithParamInterface<Route> {};

// Every other tick throws: the exception reaches the application's handling on the user-interface
// thread with the timer as sender, and ticking goes on.
TEST_P(TimerRoutes, TicksAndHandlerExceptionsArriveWithTheTimerAsSender) {
    std::atomic<int> reports{0};
    QObject* reportedSender = nullptr;
    std::string message;
    bool reportedOffUiThread = false;
    TTimerEx::SetApplicationExceptionHandler([&](QObject* sender, std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            message = e.what();
        }
        reportedSender = sender;
        reportedOffUiThread |= !OnUiThread();
        ++reports;
    });
    TTimerEx timer;
    SelectRoute(timer, GetParam());
    timer.SetInterval(10);
    TickLog log;
    timer.SetOnTimer(TNotifyEvent([&](QObject* sender) {
        log.Handler()(sender);
        if (log.count % 2 == 0) throw std::runtime_error("Rotator went away");
    }));
    ASSERT_TRUE(WaitUntil([&] { return reports >= 3; }));
    timer.SetEnabled(false);
    EXPECT_EQ(log.sender.load(), &timer);
    EXPECT_EQ(log.offUiThread.load(), GetParam() == Route::OnWorker);
    EXPECT_EQ(message, "Rotator went away");
    EXPECT_EQ(reportedSender, &timer);
    EXPECT_FALSE(reportedOffUiThread);
}

// Each way of stopping leaves the route's source in place but idle; undoing it ticks again.
TEST_P(TimerRoutes, StoppedTimerNeverTicks) {
    const char* const names[] = {"Interval 0", "no handler", "disabled"};
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(names[which]);
        TTimerEx timer;
        SelectRoute(timer, GetParam());
        timer.SetInterval(10);
        TickLog log;
        const std::function<void(bool)> stopped[] = {
            [&](bool on) { timer.SetInterval(on ? 0 : 10); },
            [&](bool on) { timer.SetOnTimer(on ? TNotifyEvent() : log.Handler()); },
            [&](bool on) { timer.SetEnabled(!on); },
        };
        const auto& set = stopped[which];
        timer.SetOnTimer(log.Handler());
        set(true);
        Pump(300ms);
        EXPECT_EQ(log.count.load(), 0);
        if (GetParam() == Route::Window) {
            ASSERT_NE(timer.WindowHandle(), nullptr);
            EXPECT_FALSE(timer.WindowHandle()->isActive());
            EXPECT_EQ(timer.TimerThread(), nullptr);
        } else {
            ASSERT_NE(timer.TimerThread(), nullptr);
            EXPECT_TRUE(timer.TimerThread()->Suspended());
            EXPECT_EQ(timer.WindowHandle(), nullptr);
        }
        set(false);
        EXPECT_TRUE(WaitUntil([&] { return log.count >= 1; }));
    }
}

// Interval counts milliseconds: at 200 ms, half a second holds two ticks (at most three on a late
// start), and the first one comes. A period taken in microseconds would give thousands of ticks,
// one taken in seconds none for minutes.
TEST_P(TimerRoutes, IntervalIsInMilliseconds) {
    TTimerEx timer;
    SelectRoute(timer, GetParam());
    timer.SetInterval(200);
    TickLog log;
    timer.SetOnTimer(log.Handler());
    Pump(500ms);
    EXPECT_LE(log.count.load(), 3);
    EXPECT_TRUE(WaitUntil([&] { return log.count >= 1; }));
    timer.SetEnabled(false);
}

INSTANTIATE_TEST_SUITE_P(AllRoutes, TimerRoutes, testing::Values(Route::Window, Route::HandOver, Route::OnWorker),
                         [](const testing::TestParamInfo<Route>& info) { return RouteName(info.param); });

// The countdown of a long period shows whether a write restarted it: 600 ms after the start more
// than 500 ms are gone, and only a restart brings it back to nearly the full period.
TEST_F(TimerTest, UnchangedWritesKeepThePeriodAndHandlerWritesRestartIt) {
    constexpr int kPeriod = 1'000'000;
    constexpr int kAfterWait = kPeriod - 500;
    TTimerEx timer;
    TickLog log;
    timer.SetInterval(kPeriod);
    timer.SetOnTimer(log.Handler());
    Pump(600ms);
    timer.SetEnabled(true);
    timer.SetInterval(kPeriod);
    timer.SetThreaded(false);
    timer.SetThreadPriority(tpNormal);
    timer.SetThreadPriority(tpHighest);  // stored only while Threaded is off
    EXPECT_LE(timer.WindowHandle()->remainingTime(), kAfterWait);
    timer.SetOnTimer(timer.OnTimer());
    EXPECT_GT(timer.WindowHandle()->remainingTime(), kAfterWait);
    Pump(600ms);
    timer.SetInterval(kPeriod + 1);
    EXPECT_GT(timer.WindowHandle()->remainingTime(), kAfterWait);
    EXPECT_EQ(timer.ThreadPriority(), tpHighest);
    EXPECT_EQ(timer.TimerThread(), nullptr);
}

// While the worker waits for the user-interface thread, the timer is stopped; the waiting tick
// must then do nothing, and the worker must get going again.
TEST_F(TimerTest, StoppingWhileATickWaitsDropsThatTick) {
    const std::function<void(TTimerEx&)> stops[] = {
        [](TTimerEx& t) { t.SetEnabled(false); },
        [](TTimerEx& t) { t.SetInterval(0); },
        [](TTimerEx& t) { t.SetOnTimer(nullptr); },
    };
    for (const auto& stop : stops) {
        TTimerEx timer;
        timer.SetThreaded(true);
        timer.SetInterval(10);
        TickLog log;
        timer.SetOnTimer(log.Handler());
        TTimerThread* worker = timer.TimerThread();
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (!worker->TickWaiting() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);  // no event processing: the tick has to wait
        ASSERT_TRUE(worker->TickWaiting());
        stop(timer);
        EXPECT_TRUE(WaitUntil([&] { return !worker->TickWaiting(); }));
        Pump(100ms);
        EXPECT_EQ(log.count.load(), 0);
    }
}

// A handler on the user-interface thread may destroy its timer or move it to the other route.
TEST_F(TimerTest, HandlerMayDestroyOrRerouteItsOwnTimer) {
    for (bool threaded : {false, true}) {
        for (bool destroy : {true, false}) {
            SCOPED_TRACE(std::string(threaded ? "hand-over" : "window") + (destroy ? " destroys" : " switches"));
            auto* timer = new TTimerEx;
            std::atomic<int> ticks{0};
            timer->SetThreaded(threaded);
            timer->SetInterval(10);
            timer->SetOnTimer(TNotifyEvent([&](QObject* sender) {
                auto* self = static_cast<TTimerEx*>(sender);
                if (++ticks != 1) return;
                if (destroy) delete self;
                if (!destroy) self->SetThreaded(!threaded);
            }));
            ASSERT_TRUE(WaitUntil([&] { return ticks >= (destroy ? 1 : 3); }));
            if (destroy) {
                Pump(200ms);
                EXPECT_EQ(ticks.load(), 1);
            } else {
                EXPECT_EQ(timer->Threaded(), !threaded);
                delete timer;
            }
            EXPECT_TRUE(WorkersGone());
        }
    }
}

// The worker sleeps for an hour (or is stopped); destroying the timer must neither wait for that
// nor leave the worker to tick or linger.
TEST_F(TimerTest, DestroyingWhileTheWorkerSleepsEndsTheWorkerWithoutATick) {
    for (bool onWorker : {false, true}) {
        for (std::uint32_t interval : {3'600'000u, 0u}) {
            TickLog log;
            {
                TTimerEx timer;
                timer.SetThreadSafe(onWorker);
                timer.SetThreaded(true);
                timer.SetInterval(interval);
                timer.SetOnTimer(log.Handler());
                TTimerThread* worker = timer.TimerThread();
                ASSERT_TRUE(WaitUntil([&] { return worker->ThreadId() != 0; }));
                EXPECT_EQ(worker->Timer(), &timer);
            }
            EXPECT_TRUE(WorkersGone());
            EXPECT_EQ(log.count.load(), 0);
        }
    }
}

// A handler running on the worker when the timer is destroyed, or moved to the window path,
// finishes before that call returns, so it never works on a destroyed timer or beside its successor.
TEST_F(TimerTest, LeavingTheWorkerWaitsForItsRunningHandler) {
    for (bool destroy : {true, false}) {
        SCOPED_TRACE(destroy ? "destroy" : "window path");
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<bool> entered{false}, finished{false};
        auto* timer = new TTimerEx;
        timer->SetThreadSafe(true);
        timer->SetThreaded(true);
        timer->SetInterval(10);
        timer->SetOnTimer(TNotifyEvent([&](QObject*) {
            if (entered.exchange(true)) return;
            released.wait();
            finished = true;
        }));
        ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
        std::thread releaser([&] {
            std::this_thread::sleep_for(100ms);
            release.set_value();
        });
        if (destroy) delete timer;
        else timer->SetThreaded(false);
        EXPECT_TRUE(finished.load());
        releaser.join();
        if (!destroy) delete timer;
    }
}

// The user-interface thread rewrites the properties while the worker ticks on its own; under the
// thread sanitizer this shows whether every value the worker reads is shared safely.
TEST_F(TimerTest, WritesWhileTheWorkerTicksAreSafe) {
    TTimerEx timer;
    std::atomic<int> early{0};
    TickLog last;
    timer.SetThreadSafe(true);
    timer.SetThreaded(true);
    timer.SetInterval(1);
    for (int i = 0; i < 300; ++i) {
        timer.SetOnTimer(TNotifyEvent([&](QObject*) { ++early; }));
        timer.SetInterval(1 + i % 2);
        timer.SetEnabled(i % 3 != 0);
        timer.SetThreadPriority(i % 2 ? tpLower : tpLowest);
        if (i % 50 == 0) std::this_thread::sleep_for(2ms);
    }
    timer.SetEnabled(true);
    // On a busy machine the worker may not have run at all during the writes; it must tick with
    // the handler they left.
    EXPECT_TRUE(WaitUntil([&] { return early.load() > 0; }));
    timer.SetOnTimer(last.Handler());
    EXPECT_TRUE(WaitUntil([&] { return last.count >= 3; }));
}

// Writes from another thread (a handler on the worker, say) are refused and change nothing; every
// setter goes through the same check.
TEST_F(TimerTest, WritesFromAnotherThreadAreRefused) {
    TTimerEx timer;
    timer.SetThreaded(true);
    const std::function<void()> writes[] = {[&] { timer.SetInterval(5); }, [&] { timer.SetThreadSafe(true); }};
    for (const auto& write : writes) {
        std::string error;
        std::thread([&] {
            try {
                write();
            } catch (const std::logic_error& e) {
                error = e.what();
            }
        }).join();
        EXPECT_NE(error.find("own thread"), std::string::npos);
    }
    EXPECT_FALSE(timer.ThreadSafe());
    EXPECT_EQ(timer.Interval(), 1000u);
}

// A thread without an event loop cannot run a QTimer: the timer reports it and stays stopped.
TEST_F(TimerTest, TimerWithoutAnEventLoopReportsNoMoreTimers) {
    std::string error;
    bool handlerStored = false, active = true;
    std::thread([&] {
        TTimerEx timer;
        try {
            timer.SetOnTimer(TNotifyEvent([](QObject*) {}));
        } catch (const EOutOfResources& e) {
            error = e.what();
        }
        handlerStored = timer.OnTimer().Assigned();
        active = timer.WindowHandle()->isActive() && timer.WindowHandle()->timerId() > 0;
    }).join();
    EXPECT_EQ(error, "No More Timers Available");
    EXPECT_TRUE(handlerStored);
    EXPECT_FALSE(active);
}

TEST_F(TimerTest, OutOfRangeValuesAreHeldOrRefused) {
    TTimerEx timer;
    timer.SetOnTimer(TNotifyEvent([](QObject*) {}));
    timer.SetInterval(4'000'000'000u);  // beyond what a QTimer counts: held at its longest period
    EXPECT_EQ(timer.Interval(), 4'000'000'000u);
    EXPECT_TRUE(timer.WindowHandle()->isActive());
    EXPECT_EQ(timer.WindowHandle()->interval(), INT_MAX);
    EXPECT_THROW(timer.SetThreadPriority(static_cast<TThreadPriority>(7)), std::invalid_argument);
    EXPECT_THROW(timer.SetThreadPriority(static_cast<TThreadPriority>(-1)), std::invalid_argument);
    EXPECT_EQ(timer.ThreadPriority(), tpNormal);
}

// Lowering is allowed to every process, so these levels must reach the worker's kernel thread,
// and only that thread.
TEST_F(TimerTest, LowPrioritiesReachTheWorkerThreadOnly) {
    struct Level {
        TThreadPriority priority;
        int policy, nice;
    };
    const int uiNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    for (const Level level : {Level{tpLower, SCHED_OTHER, 5}, Level{tpIdle, SCHED_IDLE, uiNice}}) {
        TTimerEx timer;
        timer.SetThreadPriority(level.priority);
        timer.SetInterval(3'600'000);
        timer.SetThreaded(true);
        timer.SetOnTimer(TNotifyEvent([](QObject*) {}));
        TTimerThread* worker = timer.TimerThread();
        ASSERT_TRUE(WaitUntil([&] { return worker->ThreadId() != 0; }));
        EXPECT_EQ(sched_getscheduler(worker->ThreadId()), level.policy);
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(worker->ThreadId())), level.nice);
        EXPECT_EQ(sched_getscheduler(gettid()), SCHED_OTHER);
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), uiNice);
    }
}

TEST(NotifyEvent, HandlerBoundToADestroyedObjectIsNotCalled) {
    int calls = 0;
    auto* owner = new QObject;
    const TNotifyEvent event([&](QObject*) { ++calls; }, owner);
    event(nullptr);
    delete owner;
    event(nullptr);
    EXPECT_EQ(calls, 1);
}

}  // namespace
