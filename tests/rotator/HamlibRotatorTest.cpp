// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "HamlibRotator.h"
#include "HamlibStandIns.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "TimeScale.h"

namespace {

using namespace std::chrono_literals;
using HamlibRotator::Address;
using HamlibRotator::Command;
using HamlibRotator::Request;
using HamlibRotator::Result;
using tracking_test::Gs232aController;
using tracking_test::RotctlDaemon;

constexpr int kNetRotctl = 2;
constexpr int kGs232a = 601;

// Posts a request and waits for its result (the test may wait; the program never does).
Result Ask(HamlibRotator::Rotator& rotator, Request request) {
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> result = promise->get_future();
    rotator.Post(request, [promise](const Result& done) { promise->set_value(done); });
    if (result.wait_for(30s) != std::future_status::ready) {
        ADD_FAILURE() << "no result within 30 s";
        return {};
    }
    return result.get();
}

// Reads the simulated rotator until it stands at the target (it turns 6 degrees a second).
bool ArrivesAt(HamlibRotator::Rotator& rotator, double azimuth, double elevation) {
    const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(20s);
    while (std::chrono::steady_clock::now() < deadline) {
        const Result read = Ask(rotator, {Command::kGetPosition});
        if (read.ok && read.readBack && std::abs(read.readBack->azimuth - azimuth) < 0.005 &&
            std::abs(read.readBack->elevation - elevation) < 0.005) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST(HamlibRotator, TwoDecimalsRoundToNearest) {
    struct Case {
        double degrees, expected;
    };
    // 10.125 and 0.375 are exact in binary: a tie goes to the even hundredth, as all of the
    // program's rounding does.
    const Case cases[] = {{123.456, 123.46}, {123.454, 123.45}, {0.004, 0.0},  {359.996, 360.0},
                          {45.0, 45.0},      {10.125, 10.12},   {0.375, 0.38}, {-1.234, -1.23}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(HamlibRotator::TwoDecimals(c.degrees), c.expected) << c.degrees;
}

// rotctld serves the simulated rotator; each command's effect is read back through Lunark and
// through Hamlib's own client.
TEST(HamlibRotator, DrivesARotatorServedByRotctld) {
    RotctlDaemon daemon;
    HamlibRotator::Rotator rotator({kNetRotctl, daemon.Address(), 0});
    struct Step {
        Request request;
        double azimuth, elevation;  // where the rotator comes to rest
    };
    const Step steps[] = {
        // Short turns: the simulator takes a second for every 6 degrees.
        {{Command::kSetPosition, 1.346, 0.671}, 1.35, 0.67},
        {{Command::kSetAzimuth, 2.004, 80.0}, 2.0, 0.67},    // elevation stays
        {{Command::kSetElevation, 99.0, 1.126}, 2.0, 1.13},  // azimuth stays
        {{Command::kPark}, 0.0, 0.0},                        // the simulator parks at 0/0
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(static_cast<int>(step.request.command));
        const Result result = Ask(rotator, step.request);
        ASSERT_TRUE(result.ok) << result.reason;
        if (step.request.command != Command::kPark) {
            ASSERT_TRUE(result.sent);
            EXPECT_NEAR(result.sent->azimuth, step.azimuth, 1e-5);  // a kept one comes back as a float
            EXPECT_NEAR(result.sent->elevation, step.elevation, 1e-5);
            EXPECT_TRUE(result.readBack);
        }
        EXPECT_TRUE(ArrivesAt(rotator, step.azimuth, step.elevation));
        double azimuth = -1, elevation = -1;
        ASSERT_TRUE(daemon.ReadWithRotctl(azimuth, elevation));
        EXPECT_NEAR(azimuth, step.azimuth, 0.005);
        EXPECT_NEAR(elevation, step.elevation, 0.005);
    }

    // Stop holds the rotator where it is while turning.
    ASSERT_TRUE(Ask(rotator, {Command::kSetPosition, 10.0, 0.0}).ok);
    const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(20s);
    for (Result turning; std::chrono::steady_clock::now() < deadline;) {  // until it has left 0
        turning = Ask(rotator, {Command::kGetPosition});
        if (turning.readBack && turning.readBack->azimuth > 0.005) break;
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(Ask(rotator, {Command::kStop}).ok);
    const Result stopped = Ask(rotator, {Command::kGetPosition});
    ASSERT_TRUE(stopped.readBack);
    EXPECT_GT(stopped.readBack->azimuth, 0.0);
    EXPECT_LT(stopped.readBack->azimuth, 10.0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(ArrivesAt(rotator, stopped.readBack->azimuth, 0.0));
}

TEST(HamlibRotator, AFailureIsReportedAndTheNextRequestReconnects) {
    RotctlDaemon daemon;
    HamlibRotator::Rotator rotator({kNetRotctl, daemon.Address(), 0});
    ASSERT_TRUE(Ask(rotator, {Command::kSetPosition, 3.0, 2.0}).ok);

    daemon.Kill();
    for (int attempt = 0; attempt < 2; ++attempt) {  // the link fails, then the reopen fails
        const Result result = Ask(rotator, {Command::kSetPosition, 4.0, 2.0});
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("error"), std::string::npos) << result.reason;
        EXPECT_FALSE(result.sent);
    }

    daemon.Start();  // a fresh simulator, at 0/0
    const Result result = Ask(rotator, {Command::kSetPosition, 4.0, 2.0});
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_TRUE(ArrivesAt(rotator, 4.0, 2.0));

    // A daemon that stops answering keeps the connection open: Hamlib's timeout, cut to
    // kLongestWaitMs, ends the request.
    daemon.Pause();
    const Result silent = Ask(rotator, {Command::kSetPosition, 5.0, 2.0});
    daemon.Resume();
    EXPECT_FALSE(silent.ok);
    EXPECT_EQ(silent.reason, "set position: Communication timed out");
    // Once going again the daemon carries out the request it was holding and answers it late; on a
    // loaded machine that can take a while. The next request is asked once that answer is out.
    const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(10s);
    while (daemon.SetPositions().back() != std::pair{5.0, 2.0} && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(daemon.SetPositions().back(), (std::pair{5.0, 2.0}));
    EXPECT_TRUE(Ask(rotator, {Command::kSetPosition, 6.0, 2.0}).ok);
    EXPECT_TRUE(ArrivesAt(rotator, 6.0, 2.0));
}

// The bytes Hamlib's GS-232A backend writes for each request, from the controller's manual:
// "Waaa eee" turns to whole degrees, "C2" asks for both angles, "S" stops.
TEST(HamlibRotator, SpeaksGs232aOnASerialLine) {
    Gs232aController controller;
    controller.SetPosition(100, 30);
    HamlibRotator::Rotator rotator({kGs232a, controller.Path(), 4800});
    struct Case {
        Request request;
        const char* bytes;
        bool readBack;
        int azimuth, elevation;  // read back
    };
    const Case cases[] = {
        {{Command::kGetPosition}, "C2\r", true, 100, 30},
        {{Command::kSetPosition, 123.456, 45.4}, "W123 045\rC2\r", true, 123, 45},
        {{Command::kSetAzimuth, 200.2, 0.0}, "C2\rW200 045\rC2\r", true, 200, 45},
        {{Command::kSetElevation, 0.0, 9.6}, "C2\rW200 010\rC2\r", true, 200, 10},
        {{Command::kStop}, "S\r", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const Result result = Ask(rotator, c.request);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(controller.TakeReceived(), c.bytes);
        ASSERT_EQ(result.readBack.has_value(), c.readBack);
        if (c.readBack) {
            EXPECT_DOUBLE_EQ(result.readBack->azimuth, c.azimuth);
            EXPECT_DOUBLE_EQ(result.readBack->elevation, c.elevation);
        }
    }
    EXPECT_EQ(controller.LineSpeed(), static_cast<speed_t>(B4800));

    // The GS-232A has no park command: refused, nothing written, and the line stays open.
    tracking_test::OpenCloseWatch opens(controller.Path());
    const Result park = Ask(rotator, {Command::kPark});
    EXPECT_FALSE(park.ok);
    EXPECT_EQ(park.reason, "park: Feature not available");
    EXPECT_EQ(controller.TakeReceived(), "");
    EXPECT_TRUE(Ask(rotator, {Command::kGetPosition}).ok);
    EXPECT_EQ(opens.Events(), "");
}

TEST(HamlibRotator, ASilentControllerIsAFailureAndTheLineIsOpenedAnew) {
    Gs232aController controller;
    HamlibRotator::Rotator rotator({kGs232a, controller.Path(), 0});
    ASSERT_TRUE(Ask(rotator, {Command::kGetPosition}).ok);
    EXPECT_EQ(controller.LineSpeed(), static_cast<speed_t>(B9600));  // the model's own

    tracking_test::OpenCloseWatch opens(controller.Path());
    controller.SetSilent(true);
    const Result silent = Ask(rotator, {Command::kSetPosition, 10.0, 10.0});
    EXPECT_FALSE(silent.ok);
    EXPECT_EQ(silent.reason, "get position: Communication timed out");
    EXPECT_EQ(opens.Events(), "C");

    controller.SetSilent(false);
    EXPECT_TRUE(Ask(rotator, {Command::kGetPosition}).ok);
    EXPECT_EQ(opens.Events(), "O");
}

TEST(HamlibRotator, PostingNeverWaitsForTheController) {
    Gs232aController controller;
    HamlibRotator::Rotator rotator({kGs232a, controller.Path(), 0});
    ASSERT_TRUE(Ask(rotator, {Command::kGetPosition}).ok);
    controller.Hold();
    std::promise<Result> answered;
    std::future<Result> result = answered.get_future();
    rotator.Post({Command::kGetPosition}, [&answered](const Result& done) { answered.set_value(done); });
    EXPECT_EQ(result.wait_for(0s), std::future_status::timeout);  // the controller has not answered yet
    controller.Release();
    ASSERT_EQ(result.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(result.get().ok);
}

// A loopback port whose listener takes no more connections: its queue is full, so a connection's
// first packet is dropped and the connection waits, as for a host that is down.
class FullListener {
public:
    FullListener() : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int& client : waiting_) {
            client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~FullListener() {
        for (const int client : waiting_) ::close(client);
        ::close(listener_);
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int listener_;
    int port_ = 0;
    int waiting_[2] = {};
};

TEST(HamlibRotator, RequestsThatCannotBeCarriedOutSayWhy) {
    Gs232aController controller;
    const FullListener full;
    RotctlDaemon gone;
    const std::string refused = gone.Address();
    gone.Kill();
    struct Case {
        Address address;
        const char* reason;
    };
    const Case cases[] = {
        // Hamlib would wait for the system's connect timeout, minutes, with every other rotator waiting.
        {{kNetRotctl, full.Address(), 0}, "open: Communication timed out"},
        {{kNetRotctl, refused, 0}, "open: IO error: Connection refused"},
        {{kNetRotctl, "no-such-host.invalid:4533", 0}, "open: IO error: no address for no-such-host.invalid:4533"},
        {{99999, "/dev/null", 0}, "Hamlib has no rotator model 99999"},
        {{kGs232a, "/nonexistent/ttyUSB7", 0}, "open: IO error"},
        {{kGs232a, "/dev/null", 0}, "open: Invalid configuration"},  // not a serial line
        {{kGs232a, controller.Path(), 1234567}, "open: Invalid configuration"},
        {{kGs232a, controller.Path(), 1200}, ""},
        {{1, "", 0}, ""},  // Hamlib's simulator needs no device
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.device + " " + std::to_string(c.address.lineSpeed));
        HamlibRotator::Rotator rotator(c.address);
        const Result result = Ask(rotator, {Command::kSetPosition, 1.0, 1.0});
        EXPECT_EQ(result.ok, std::string(c.reason).empty());
        EXPECT_EQ(result.reason, c.reason);
    }
}

TEST(HamlibRotator, ARetiredRotatorAnswersWhatItDidNotSend) {
    Gs232aController controller;
    controller.SetSilent(true);
    // The worker may answer after the rotator is gone: what it answers into outlives the test's scope.
    auto notSent = std::make_shared<std::atomic<int>>(0);
    auto answered = std::make_shared<std::atomic<int>>(0);
    const auto count = [notSent, answered](const Result& result) {
        if (result.reason == "not sent: the rotator was closed" && result.skipped) ++*notSent;
        ++*answered;
    };
    {
        HamlibRotator::Rotator rotator({kGs232a, controller.Path(), 0});
        rotator.Post({Command::kSetPosition, 1.0, 1.0}, count);
        for (int i = 0; i < 3; ++i) rotator.Post({Command::kGetPosition}, count);
        rotator.Retire();
        rotator.Post({Command::kStop}, count);
    }
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (*answered < 5 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(*answered, 5);
    EXPECT_GE(*notSent, 4);  // the one in progress, if any, timed out instead
}

// While the worker waits on a held answer, newer requests take the place of those not started:
// the controller then gets the latest target once, its coordinates gathered from set positions
// of one axis each.
TEST(HamlibRotator, ARequestNotYetStartedGivesWayToANewerOne) {
    struct Case {
        std::vector<Request> waiting;
        const char* bytes;  // after the held read
        int skipped;
    };
    const Case cases[] = {
        {{{Command::kSetPosition, 10, 1}, {Command::kSetPosition, 20, 2}, {Command::kSetPosition, 30, 3}},
         "W030 003\rC2\r",
         2},
        {{{Command::kSetAzimuth, 200, 0}, {Command::kSetElevation, 0, 10}}, "W200 010\rC2\r", 0},
        {{{Command::kSetPosition, 10, 1}, {Command::kSetAzimuth, 40, 0}}, "W040 001\rC2\r", 0},
        {{{Command::kSetPosition, 10, 1}, {Command::kStop}}, "S\r", 1},
        {{{Command::kGetPosition}, {Command::kGetPosition}}, "C2\r", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        Gs232aController controller;
        HamlibRotator::Rotator rotator({kGs232a, controller.Path(), 0});
        ASSERT_TRUE(Ask(rotator, {Command::kGetPosition}).ok);
        controller.TakeReceived();
        controller.Hold();
        auto answers = std::make_shared<std::vector<std::promise<Result>>>(c.waiting.size() + 1);
        rotator.Post({Command::kGetPosition}, [answers](const Result& done) { (*answers)[0].set_value(done); });
        // The worker now waits in Hamlib for the answer.
        for (std::string read; read != "C2\r"; read += controller.TakeReceived()) std::this_thread::sleep_for(1ms);
        for (std::size_t i = 0; i < c.waiting.size(); ++i) {
            rotator.Post(c.waiting[i], [answers, i](const Result& done) { (*answers)[i + 1].set_value(done); });
        }
        controller.Release();
        int skipped = 0;
        for (auto& answer : *answers) {
            std::future<Result> result = answer.get_future();
            ASSERT_EQ(result.wait_for(30s), std::future_status::ready);
            const Result done = result.get();
            EXPECT_TRUE(done.ok || done.skipped) << done.reason;
            skipped += done.skipped;
        }
        EXPECT_EQ(controller.TakeReceived(), c.bytes);
        EXPECT_EQ(skipped, c.skipped);
    }
}

// Letting a rotator go while its request waits on a silent controller returns at once; the
// worker answers later, in its own time (the program's window closes without waiting for it).
TEST(HamlibRotator, LettingGoNeverWaitsForTheController) {
    Gs232aController controller;
    auto answer = std::make_shared<std::promise<Result>>();
    std::future<Result> result = answer->get_future();
    {
        HamlibRotator::Rotator rotator({kGs232a, controller.Path(), 0});
        ASSERT_TRUE(Ask(rotator, {Command::kGetPosition}).ok);
        controller.TakeReceived();
        controller.SetSilent(true);
        rotator.Post({Command::kGetPosition}, [answer](const Result& done) { answer->set_value(done); });
        while (controller.TakeReceived().empty()) std::this_thread::sleep_for(1ms);  // the worker waits in Hamlib
    }
    EXPECT_EQ(result.wait_for(0s), std::future_status::timeout);
    ASSERT_EQ(result.wait_for(30s), std::future_status::ready);
    EXPECT_FALSE(result.get().ok);
}

TEST(HamlibRotator, OneRotatorUnderTwoNamesHasOneDestination) {
    Gs232aController line, otherLine;
    test_support::TempDir dir;
    const std::string byId = dir.File("usb-FTDI_FT232R-if00-port0");
    ASSERT_EQ(::symlink(line.Path().c_str(), byId.c_str()), 0);
    struct Case {
        Address first, second;
        bool same;
    };
    const Case cases[] = {
        {{kGs232a, byId, 0}, {kGs232a, line.Path(), 0}, true},
        {{kGs232a, line.Path() + "\r", 0}, {kGs232a, line.Path(), 0}, true},
        {{kGs232a, " " + byId + "\r\n", 0}, {kGs232a, line.Path(), 0}, true},
        {{kGs232a, otherLine.Path(), 0}, {kGs232a, line.Path(), 0}, false},
        {{kNetRotctl, "localhost:4533", 0}, {kNetRotctl, "127.0.0.1:4533", 0}, true},
        {{kNetRotctl, "localhost", 0}, {kNetRotctl, "127.0.0.1:4533", 0}, true},  // rotctld's port
        {{kNetRotctl, "LOCALHOST:4533\r", 0}, {kNetRotctl, "127.0.0.1:4533", 0}, true},
        {{kNetRotctl, "localhost:4534", 0}, {kNetRotctl, "127.0.0.1:4533", 0}, false},
        {{kNetRotctl, "127.0.0.2:4533", 0}, {kNetRotctl, "127.0.0.1:4533", 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first.device);
        EXPECT_EQ(HamlibRotator::Destination(c.first) == HamlibRotator::Destination(c.second), c.same);
    }
}

TEST(HamlibRotatorRegistry, SharesOneWorkerPerModelAndDevice) {
    HamlibRotator::Registry registry;
    const auto first = registry.For({kGs232a, "/dev/ttyUSB0", 9600});
    EXPECT_EQ(registry.For({kGs232a, "/dev/ttyUSB0", 9600}), first);
    EXPECT_NE(registry.For({kGs232a, "/dev/ttyUSB1", 9600}), first);
    EXPECT_NE(registry.For({603, "/dev/ttyUSB0", 9600}), first);
    const auto slower = registry.For({kGs232a, "/dev/ttyUSB0", 4800});
    EXPECT_NE(slower, first);
    EXPECT_EQ(slower->Where().lineSpeed, 4800);
    EXPECT_EQ(registry.For({kGs232a, "/dev/ttyUSB0", 4800}), slower);
}

}  // namespace
