// TTimerEx on its three tick routes: the QTimer on the user-interface thread, the worker handing
// each tick over to the user-interface thread, and the worker calling the handler itself. Waits
// process events until a condition holds or a generous deadline passes; nothing here measures time.
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
#include <memory>
#include <string>
#include <thread>

#include "TimerEx.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 20s;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = kDeadline) {
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

enum class Route { Window, HandOver, OnWorker };

std::string RouteName(const testing::TestParamInfo<Route>& info) {
    switch (info.param) {
        case Route::Window:
            return "Window";
        case Route::HandOver:
            return "HandOver";
        case Route::OnWorker:
            return "OnWorker";
    }
    return "Unknown";
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
            if (QThread::currentThread() != qApp->thread()) offUiThread = true;
            ++count;
        });
    }
};

class TimerRoutes : public testing::TestWithParam<Route> {
protected:
    void SetUp() override { ASSERT_TRUE(WorkersGone()); }
    void TearDown() override {
        TTimerEx::SetApplicationExceptionHandler(nullptr);
        EXPECT_TRUE(WorkersGone()) << "a worker thread outlived its timer";
    }
};

TEST_P(TimerRoutes, TicksArriveWithTheTimerAsSenderOnTheExpectedThread) {
    TTimerEx timer;
    SelectRoute(timer, GetParam());
    timer.SetInterval(10);
    TickLog log;
    timer.SetOnTimer(log.Handler());
    ASSERT_TRUE(WaitUntil([&] { return log.count >= 3; }));
    EXPECT_EQ(log.sender.load(), &timer);
    EXPECT_EQ(log.offUiThread.load(), GetParam() == Route::OnWorker);
}

// Each way of stopping leaves the route's source in place but idle, and undoing it ticks again.
TEST_P(TimerRoutes, StoppedTimerNeverTicks) {
    struct Stop {
        const char* name;
        std::function<void(TTimerEx&, TickLog&)> stop, undo;
    };
    const Stop stops[] = {
        {"Interval 0", [](TTimerEx& t, TickLog&) { t.SetInterval(0); },
         [](TTimerEx& t, TickLog&) { t.SetInterval(10); }},
        {"no handler", [](TTimerEx& t, TickLog&) { t.SetOnTimer(nullptr); },
         [](TTimerEx& t, TickLog& log) { t.SetOnTimer(log.Handler()); }},
        {"disabled", [](TTimerEx& t, TickLog&) { t.SetEnabled(false); },
         [](TTimerEx& t, TickLog&) { t.SetEnabled(true); }},
    };
    for (const Stop& s : stops) {
        SCOPED_TRACE(s.name);
        TTimerEx timer;
        SelectRoute(timer, GetParam());
        timer.SetInterval(10);
        TickLog log;
        timer.SetOnTimer(log.Handler());
        s.stop(timer, log);
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
        s.undo(timer, log);
        EXPECT_TRUE(WaitUntil([&] { return log.count >= 1; }));
    }
}

// An exception from the handler goes to the application's handling on the user-interface thread,
// with the timer as sender, and the timer keeps ticking.
TEST_P(TimerRoutes, HandlerExceptionReachesTheApplicationAndTickingGoesOn) {
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
        if (QThread::currentThread() != qApp->thread()) reportedOffUiThread = true;
        ++reports;
    });
    TTimerEx timer;
    SelectRoute(timer, GetParam());
    timer.SetInterval(10);
    timer.SetOnTimer(TNotifyEvent([](QObject*) { throw std::runtime_error("Rotator went away"); }));
    ASSERT_TRUE(WaitUntil([&] { return reports >= 3; }));
    timer.SetEnabled(false);
    EXPECT_EQ(message, "Rotator went away");
    EXPECT_EQ(reportedSender, &timer);
    EXPECT_FALSE(reportedOffUiThread);
}

INSTANTIATE_TEST_SUITE_P(AllRoutes, TimerRoutes,
                         testing::Values(Route::Window, Route::HandOver, Route::OnWorker), RouteName);

class TimerLifetime : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WorkersGone()); }
    void TearDown() override { EXPECT_TRUE(WorkersGone()) << "a worker thread outlived its timer"; }
};

TEST_F(TimerLifetime, NewTimerIsAStoppedWindowTimerThatTicksEverySecondOnceHandled) {
    TTimerEx timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.Threaded());
    EXPECT_EQ(timer.ThreadPriority(), tpNormal);
    EXPECT_FALSE(timer.ThreadSafe());
    ASSERT_NE(timer.WindowHandle(), nullptr);
    EXPECT_FALSE(timer.WindowHandle()->isActive());
    TickLog log;
    timer.SetOnTimer(log.Handler());
    EXPECT_TRUE(timer.WindowHandle()->isActive());
    EXPECT_EQ(timer.WindowHandle()->interval(), 1000);
}

// The countdown of a long period shows whether a write restarted it: 600 ms after the start at
// least that much is gone, and only a restart brings it back to nearly the full period.
TEST_F(TimerLifetime, UnchangedWritesKeepThePeriodAndHandlerWritesRestartIt) {
    constexpr int kPeriod = 1'000'000;
    constexpr int kAfterWait = kPeriod - 300;
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

TEST_F(TimerLifetime, SwitchingRoutesKeepsExactlyOneSource) {
    TTimerEx timer;
    TickLog log;
    timer.SetInterval(10);
    timer.SetOnTimer(log.Handler());
    for (int round = 0; round < 3; ++round) {
        timer.SetThreaded(true);
        EXPECT_EQ(timer.WindowHandle(), nullptr);
        ASSERT_NE(timer.TimerThread(), nullptr);
        EXPECT_EQ(TTimerThread::RunningCount(), 1);
        const int before = log.count;
        ASSERT_TRUE(WaitUntil([&] { return log.count >= before + 2; }));
        timer.SetThreaded(false);
        EXPECT_EQ(timer.TimerThread(), nullptr);
        ASSERT_NE(timer.WindowHandle(), nullptr);
        EXPECT_TRUE(timer.WindowHandle()->isActive());
        ASSERT_TRUE(WorkersGone());
    }
}

// While the worker waits for the user-interface thread, the timer is stopped; the waiting tick
// must then do nothing, and the worker must get going again.
TEST_F(TimerLifetime, StoppingWhileATickWaitsDropsThatTick) {
    struct Stop {
        const char* name;
        std::function<void(TTimerEx&)> stop;
    };
    const Stop stops[] = {
        {"disabled", [](TTimerEx& t) { t.SetEnabled(false); }},
        {"Interval 0", [](TTimerEx& t) { t.SetInterval(0); }},
        {"no handler", [](TTimerEx& t) { t.SetOnTimer(nullptr); }},
    };
    for (const Stop& s : stops) {
        SCOPED_TRACE(s.name);
        TTimerEx timer;
        timer.SetThreaded(true);
        timer.SetInterval(10);
        TickLog log;
        timer.SetOnTimer(log.Handler());
        TTimerThread* worker = timer.TimerThread();
        ASSERT_NE(worker, nullptr);
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (!worker->TickWaiting() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);  // no event processing: the tick has to wait
        ASSERT_TRUE(worker->TickWaiting());
        s.stop(timer);
        EXPECT_TRUE(WaitUntil([&] { return !worker->TickWaiting(); }));
        Pump(100ms);
        EXPECT_EQ(log.count.load(), 0);
    }
}

// A handler on the user-interface thread may destroy its timer or move it to the other route.
TEST_F(TimerLifetime, HandlerMayDestroyOrRerouteItsOwnTimer) {
    struct Case {
        const char* name;
        bool threaded;
        bool destroy;
    };
    const Case cases[] = {
        {"window route destroys", false, true},
        {"hand-over route destroys", true, true},
        {"window route switches to worker", false, false},
        {"hand-over route switches to window", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* timer = new TTimerEx;
        std::atomic<int> ticks{0};
        timer->SetThreaded(c.threaded);
        timer->SetInterval(10);
        timer->SetOnTimer(TNotifyEvent([&, c](QObject* sender) {
            auto* self = static_cast<TTimerEx*>(sender);
            if (++ticks != 1) return;
            if (c.destroy)
                delete self;
            else
                self->SetThreaded(!c.threaded);
        }));
        if (c.destroy) {
            ASSERT_TRUE(WaitUntil([&] { return ticks >= 1; }));
            Pump(200ms);
            EXPECT_EQ(ticks.load(), 1);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));
            EXPECT_EQ(timer->Threaded(), !c.threaded);
            delete timer;
        }
        EXPECT_TRUE(WorkersGone());
    }
}

// The worker sleeps for an hour; destroying the timer must neither wait for that sleep nor leave
// the worker to tick or linger.
TEST_F(TimerLifetime, DestroyingWhileTheWorkerSleepsEndsTheWorkerWithoutATick) {
    for (bool onWorker : {false, true}) {
        for (bool running : {true, false}) {
            SCOPED_TRACE(std::string(onWorker ? "on worker" : "hand-over") +
                         (running ? ", running" : ", stopped"));
            TickLog log;
            {
                TTimerEx timer;
                timer.SetThreadSafe(onWorker);
                timer.SetThreaded(true);
                timer.SetInterval(running ? 3'600'000 : 0);
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
TEST_F(TimerLifetime, LeavingTheWorkerWaitsForItsRunningHandler) {
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
        if (destroy)
            delete timer;
        else
            timer->SetThreaded(false);
        EXPECT_TRUE(finished.load());
        releaser.join();
        if (!destroy) delete timer;
    }
}

// Writes from a thread other than the timer's own are refused with a clear error and change nothing.
TEST_F(TimerLifetime, WritesFromAnotherThreadAreRefused) {
    TTimerEx timer;
    timer.SetThreaded(true);
    const std::function<void()> writes[] = {
        [&] { timer.SetEnabled(false); },         [&] { timer.SetInterval(5); },
        [&] { timer.SetOnTimer(nullptr); },       [&] { timer.SetThreaded(false); },
        [&] { timer.SetThreadPriority(tpIdle); }, [&] { timer.SetThreadSafe(true); },
    };
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
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_TRUE(timer.Threaded());
    EXPECT_EQ(timer.ThreadPriority(), tpNormal);
    EXPECT_FALSE(timer.ThreadSafe());
}

TEST_F(TimerLifetime, HandlerOnTheWorkerCannotRewriteItsTimer) {
    TTimerEx timer;
    std::atomic<bool> refused{false};
    timer.SetThreadSafe(true);
    timer.SetThreaded(true);
    timer.SetInterval(10);
    timer.SetOnTimer(TNotifyEvent([&](QObject* sender) {
        try {
            static_cast<TTimerEx*>(sender)->SetInterval(20);
        } catch (const std::logic_error&) {
            refused = true;
        }
    }));
    ASSERT_TRUE(WaitUntil([&] { return refused.load(); }));
    EXPECT_EQ(timer.Interval(), 10u);
}

// The user-interface thread rewrites the properties while the worker ticks on its own; under the
// thread sanitizer this shows whether every value the worker reads is shared safely.
TEST_F(TimerLifetime, WritesWhileTheWorkerTicksAreSafe) {
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
    timer.SetOnTimer(last.Handler());
    EXPECT_TRUE(WaitUntil([&] { return last.count >= 3; }));
    EXPECT_GT(early.load(), 0);
}

// A thread without an event loop cannot run a QTimer: the timer reports it and stays stopped.
TEST_F(TimerLifetime, TimerWithoutAnEventLoopReportsNoMoreTimers) {
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
        active = timer.WindowHandle() != nullptr && timer.WindowHandle()->isActive() &&
                 timer.WindowHandle()->timerId() > 0;
    }).join();
    EXPECT_EQ(error, "No More Timers Available");
    EXPECT_TRUE(handlerStored);
    EXPECT_FALSE(active);
}

TEST_F(TimerLifetime, OutOfRangeValuesAreHeldOrRefused) {
    TTimerEx timer;
    TickLog log;
    timer.SetOnTimer(log.Handler());
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
TEST_F(TimerLifetime, LowPrioritiesReachTheWorkerThreadOnly) {
    struct Level {
        TThreadPriority priority;
        int policy;
        int nice;
    };
    const Level levels[] = {{tpLower, SCHED_OTHER, 5}, {tpLowest, SCHED_OTHER, 10}, {tpIdle, SCHED_IDLE, 0}};
    const int uiNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    for (const Level& level : levels) {
        SCOPED_TRACE(static_cast<int>(level.priority));
        TTimerEx timer;
        TickLog log;
        timer.SetThreadPriority(level.priority);
        EXPECT_EQ(timer.TimerThread(), nullptr);
        timer.SetInterval(3'600'000);
        timer.SetThreaded(true);
        timer.SetOnTimer(log.Handler());
        TTimerThread* worker = timer.TimerThread();
        ASSERT_TRUE(WaitUntil([&] { return worker->ThreadId() != 0; }));
        const int workerTid = worker->ThreadId();
        EXPECT_EQ(sched_getscheduler(workerTid), level.policy);
        if (level.policy != SCHED_IDLE) {
            EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(workerTid)), level.nice);
        }
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
    EXPECT_TRUE(event.Assigned());
    EXPECT_FALSE(TNotifyEvent().Assigned());
}

}  // namespace
