// SPDX-License-Identifier: GPL-3.0-or-later
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "HamlibStandIns.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Messages.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "TempDir.h"
#include "TimeScale.h"
#include "Unit3.h"

namespace {

using namespace std::chrono_literals;
using HamlibRotator::Address;
using HamlibRotator::Command;
using Protocols::Axis;
using tracking_test::RotctlDaemon;

TEST(HamlibTransport, TargetsTakeOffsetsOnTheUnroundedPosition) {
    struct Case {
        long double azimuth, elevation;
        int32_t azimuthOffset, elevationOffset;
        double sentAzimuth, sentElevation;
    };
    const Case cases[] = {
        {123.456L, 45.674L, 0, 0, 123.46, 45.67}, {10.3L, 5.0L, -15, 0, 355.3, 5.0},  // -4.7 lifted by 360
        {0.4L, 0.4L, -1, 0, 359.4, 0.4},     // the rounded 0 - 1 would give 359
        {10.0L, 5.0L, -400, 0, -30.0, 5.0},  // lifted once only
        {350.0L, 1.0L, 20, 0, 370.0, 1.0},   // 360 or more goes as it is
        {100.0L, -0.4L, 0, 0, 100.0, 0.0},   // below the horizon: 0
        {100.0L, -3.2L, 0, 5, 100.0, 1.8},        {100.0L, 2.2L, 0, -5, 100.0, 0.0},
        {359.996L, 0.004L, 0, 0, 360.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.azimuth));
        const HamlibRotator::Bearing sent =
            HamlibTransport::Target(c.azimuth, c.elevation, c.azimuthOffset, c.elevationOffset);
        EXPECT_DOUBLE_EQ(sent.azimuth, c.sentAzimuth);
        EXPECT_DOUBLE_EQ(sent.elevation, c.sentElevation);
    }
}

TEST(HamlibTransport, ReadsModelDeviceAndSpeed) {
    struct Case {
        const char* text;
        std::optional<Address> address;
    };
    const Case cases[] = {
        {"601,/dev/ttyUSB0,9600", Address{601, "/dev/ttyUSB0", 9600}},
        {"2,localhost:4533", Address{2, "localhost:4533", 0}},
        {"603,/dev/serial/by-id/usb-FTDI_FT232R-if00-port0",
         Address{603, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", 0}},
        {"", std::nullopt},
        {"601", std::nullopt},
        {"601,", Address{601, "", 0}},  // no device: whether the model needs one is the caller's check
        {"1,,9600", Address{1, "", 9600}},
        {"x,/dev/ttyS0", std::nullopt},
        {"0,/dev/ttyS0", std::nullopt},
        {"-601,/dev/ttyS0", std::nullopt},
        {"601,/dev/ttyS0,", std::nullopt},
        {"601,/dev/ttyS0,fast", std::nullopt},
        {"601,/dev/ttyS0,-9600", std::nullopt},
        {"601 ,/dev/ttyS0", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(HamlibTransport::ParseRotator(c.text), c.address) << c.text;
}

TEST(HamlibTransport, NamesTheRotatorByModelAndDevice) {
    const struct {
        Address address;
        const char *rotator, *commsError;
    } cases[] = {
        {{2, "localhost:4533", 0}, "model 2 (Hamlib NET rotctl) at localhost:4533", "Comms error - localhost:4533"},
        {{601, "/dev/ttyUSB0", 9600}, "model 601 (Yaesu GS-232A) at /dev/ttyUSB0", "Comms error - /dev/ttyUSB0"},
        {{1, "", 0},
         "model 1 (Hamlib Dummy)",
         "Comms error - Hamlib model 1"},  // the simulator is reached over nothing
        {{9999, "x", 0}, "model 9999 (unknown to Hamlib) at x", "Comms error - x"},
        {{}, "(no rotator chosen)", "Comms error - Hamlib"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HamlibTransport::RotatorText(c.address), c.rotator);
        EXPECT_EQ(HamlibTransport::CommsError(c.address), c.commsError);
    }
}

// Two rotctld daemons on loopback ports, named in the settings file's [Hamlib] section as
// azimuth and elevation rotators; failures recorded.
class HamlibAxes : public ::testing::Test {
protected:
    Journal::Journal journal_;
    HamlibTransport::Axes hamlib_{&journal_};  // each test's own, told to its journal
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        Unit3::AZoffset = 0;
        Unit3::ELoffset = 0;
        previous_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previous_);
        Unit3::ExecutablePath.clear();
        Unit3::AZtype.clear();
        Unit3::ELtype.clear();
    }
    // Both axes' protocol "Hamlib", as the setup window sets it.
    static void BothAxesHamlib() {
        Unit3::AZtype = Protocols::kHamlib;
        Unit3::ELtype = Protocols::kHamlib;
    }
    HamlibTransport::AxisReading ReadingOf(Axis axis) {
        const auto reading = hamlib_.Reading(axis);
        return reading ? *reading : HamlibTransport::AxisReading{};
    }
    int JournalLinesWith(const std::string& text) const {
        int count = 0;
        for (const Journal::Entry& entry : journal_.Entries()) count += entry.text.find(text) != std::string::npos;
        return count;
    }
    void UseRotators(const std::string& azimuth, const std::string& elevation) {
        test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Hamlib]\nAzModel=2\nAzDevice=" + azimuth +
                                                                  "\nElModel=2\nElDevice=" + elevation + "\n");
    }
    static void MoonAt(long double azimuth, long double elevation) {
        Position::TargetAzimuth = azimuth;
        Position::TargetElevation = elevation;
    }
    // Sends and handles the results as the UI thread does.
    void SendAndWait(bool azimuth, bool elevation) {
        hamlib_.Send(azimuth, elevation);
        ASSERT_EQ(hamlib_.RunDelivered(30s), 0);
    }
    // Sends until the azimuth rotator answers, within a bound: on a loaded machine a rotctld just
    // started or resumed may still be catching up when the first send opens the connection anew, and
    // that open may run out of time. The messages are those of the last send.
    void SendUntilAzimuthAnswers() {
        const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(10s);
        do {
            messages_.clear();
            SendAndWait(true, true);
        } while (!Last(Axis::kAzimuth).result.ok && std::chrono::steady_clock::now() < deadline);
    }
    HamlibTransport::AxisResult Last(Axis axis) {
        const auto last = hamlib_.LastResult(axis);
        return last ? *last : HamlibTransport::AxisResult{};
    }
    // Waits until rotctl reads the position (the simulator turns 6 degrees a second).
    static bool Reaches(const RotctlDaemon& daemon, double azimuth, double elevation) {
        for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
            double readAzimuth = 0, readElevation = 0;
            if (daemon.ReadWithRotctl(readAzimuth, readElevation) && std::abs(readAzimuth - azimuth) < 0.005 &&
                std::abs(readElevation - elevation) < 0.005) {
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    // Handles results as the UI thread does for this long, whether or not some are outstanding.
    void HandleResultsFor(std::chrono::milliseconds span) {
        for (const auto end = std::chrono::steady_clock::now() + span; std::chrono::steady_clock::now() < end;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (hamlib_.RunDelivered(left) == 0) std::this_thread::sleep_for(10ms);
        }
    }

    test_support::TempDir dir_;
    RotctlDaemon first_, second_;
    std::vector<std::string> messages_;
    Messages::MessageHandler previous_;
};

TEST_F(HamlibAxes, BothAxesOnOneRotatorMoveInOneCall) {
    UseRotators(first_.Address(), first_.Address());
    Unit3::AZoffset = -3;
    Unit3::ELoffset = 1;
    MoonAt(7.456L, 1.344L);
    SendAndWait(true, true);
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        const auto last = Last(axis);
        ASSERT_TRUE(last.result.ok) << last.result.reason;
        EXPECT_EQ(last.result.request.command, Command::kSetPosition);
        EXPECT_DOUBLE_EQ(last.result.sent->azimuth, 4.46);
        EXPECT_DOUBLE_EQ(last.result.sent->elevation, 2.34);
        EXPECT_EQ(last.address.device, first_.Address());
    }
    EXPECT_TRUE(Reaches(first_, 4.46, 2.34));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(HamlibAxes, AnAxisAloneKeepsTheOtherCoordinateOfItsRotator) {
    UseRotators(first_.Address(), second_.Address());
    MoonAt(3.0L, 2.0L);
    SendAndWait(true, true);  // azimuth rotator to 3/0, elevation rotator to 0/2
    EXPECT_EQ(Last(Axis::kAzimuth).result.request.command, Command::kSetAzimuth);
    EXPECT_EQ(Last(Axis::kElevation).result.request.command, Command::kSetElevation);
    ASSERT_TRUE(Reaches(first_, 3.0, 0.0));
    ASSERT_TRUE(Reaches(second_, 0.0, 2.0));

    MoonAt(5.0L, 4.0L);
    SendAndWait(false, true);  // the azimuth is another protocol's
    ASSERT_TRUE(Last(Axis::kElevation).result.ok);
    EXPECT_DOUBLE_EQ(Last(Axis::kElevation).result.sent->azimuth, 0.0);
    EXPECT_TRUE(Reaches(second_, 0.0, 4.0));
    EXPECT_TRUE(Reaches(first_, 3.0, 0.0));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(HamlibAxes, AFailedRotatorShowsItsDeviceAndTheOtherAxisGoesOn) {
    UseRotators(first_.Address(), second_.Address());
    MoonAt(2.0L, 1.0L);
    SendAndWait(true, true);
    first_.Kill();

    MoonAt(4.0L, 3.0L);
    SendAndWait(true, true);
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - " + first_.Address()});
    EXPECT_FALSE(Last(Axis::kAzimuth).result.ok);
    EXPECT_FALSE(Last(Axis::kAzimuth).result.reason.empty());
    EXPECT_TRUE(Last(Axis::kElevation).result.ok);
    EXPECT_TRUE(Reaches(second_, 0.0, 3.0));

    first_.Start();  // back: a send reconnects
    SendUntilAzimuthAnswers();
    EXPECT_TRUE(Last(Axis::kAzimuth).result.ok) << Last(Axis::kAzimuth).result.reason;
    EXPECT_TRUE(Reaches(first_, 4.0, 0.0));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(HamlibAxes, AnAxisWithoutARotatorFailsAtOnce) {
    test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Hamlib]\nElModel=2\nElDevice=" + second_.Address() + "\n");
    MoonAt(1.0L, 1.0L);
    SendAndWait(true, true);
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - Hamlib"});
    EXPECT_TRUE(Last(Axis::kElevation).result.ok);

    hamlib_.SetAxisRotatorForRun(Axis::kAzimuth, Address{2, first_.Address(), 0});
    messages_.clear();
    SendAndWait(true, false);
    hamlib_.SetAxisRotatorForRun(Axis::kAzimuth, std::nullopt);
    EXPECT_TRUE(Last(Axis::kAzimuth).result.ok);
    EXPECT_EQ(Last(Axis::kAzimuth).address.device, first_.Address());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(HamlibAxes, ReadingBackGivesCommandedAgainstActual) {
    BothAxesHamlib();
    UseRotators(first_.Address(), second_.Address());
    MoonAt(3.0L, 2.0L);
    SendAndWait(true, true);
    ASSERT_TRUE(Reaches(first_, 3.0, 0.0));
    ASSERT_TRUE(Reaches(second_, 0.0, 2.0));
    hamlib_.ReadBack();
    hamlib_.ReadBack();  // while the first read is under way, no second one queues up
    ASSERT_EQ(hamlib_.RunDelivered(30s), 0);

    struct Case {
        Axis axis;
        const RotctlDaemon& rotator;
        double commandedAzimuth, commandedElevation;
    };
    const Case cases[] = {{Axis::kAzimuth, first_, 3.0, 0.0}, {Axis::kElevation, second_, 0.0, 2.0}};
    for (const Case& c : cases) {
        const HamlibTransport::AxisReading reading = ReadingOf(c.axis);
        EXPECT_EQ(reading.address.device, c.rotator.Address());
        ASSERT_TRUE(reading.commanded && reading.actual);
        EXPECT_DOUBLE_EQ(reading.commanded->azimuth, c.commandedAzimuth);
        EXPECT_DOUBLE_EQ(reading.commanded->elevation, c.commandedElevation);
        EXPECT_NEAR(reading.actual->azimuth, c.commandedAzimuth, 0.005);
        EXPECT_NEAR(reading.actual->elevation, c.commandedElevation, 0.005);
        EXPECT_EQ(reading.failure, "");
    }
    // Each send is journaled with the rotator; reads that answer are not.
    EXPECT_EQ(JournalLinesWith("Azimuth: set position 3.00 0.00 on Hamlib model 2 (Hamlib NET rotctl) at " +
                               first_.Address() + ": done; read back "),
              1)
        << journal_.Text();
    EXPECT_EQ(JournalLinesWith("Elevation: set position 0.00 2.00 on Hamlib model 2 (Hamlib NET rotctl) at " +
                               second_.Address()),
              1);
    EXPECT_EQ(JournalLinesWith("get position"), 0);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(HamlibAxes, ARotatorThatStopsAnsweringIsReportedOnceAndAgainWhenItAnswers) {
    BothAxesHamlib();
    UseRotators(first_.Address(), first_.Address());
    hamlib_.ReadBack();
    ASSERT_EQ(hamlib_.RunDelivered(30s), 0);
    ASSERT_TRUE(ReadingOf(Axis::kAzimuth).actual);

    first_.Pause();
    for (int read = 0; read < 2; ++read) {
        hamlib_.ReadBack();
        ASSERT_EQ(hamlib_.RunDelivered(30s), 0);
        for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) EXPECT_NE(ReadingOf(axis).failure, "");
    }
    first_.Resume();
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - " + first_.Address()});
    EXPECT_EQ(JournalLinesWith("Azimuth and elevation: get position on Hamlib model 2 (Hamlib NET rotctl) at " +
                               first_.Address() + ": Comms error - " + first_.Address() + ": "),
              1)
        << journal_.Text();

    hamlib_.ReadBack();
    ASSERT_EQ(hamlib_.RunDelivered(30s), 0);
    EXPECT_EQ(ReadingOf(Axis::kAzimuth).failure, "");
    EXPECT_EQ(JournalLinesWith(": answers again; read back 0.00 0.00"), 1) << journal_.Text();
}

// A rotator that was sent a position while it was gone gets it as soon as a read-back finds it
// answering again; while it stays gone, the reads send nothing.
TEST_F(HamlibAxes, ARotatorThatAnswersAgainIsSentThePositionAtOnce) {
    BothAxesHamlib();
    UseRotators(first_.Address(), first_.Address());
    MoonAt(2.0L, 1.0L);
    SendAndWait(true, true);
    EXPECT_FALSE(hamlib_.Silent());
    first_.Kill();
    MoonAt(4.0L, 3.0L);
    SendAndWait(true, true);
    ASSERT_FALSE(Last(Axis::kAzimuth).result.ok);
    ASSERT_TRUE(hamlib_.Silent());
    hamlib_.ProbeSilent();
    ASSERT_EQ(hamlib_.RunDelivered(30s), 0);
    EXPECT_FALSE(Last(Axis::kAzimuth).result.ok);

    first_.Start();
    hamlib_.ProbeSilent();                    // the program's watch, within a second of its return
    ASSERT_EQ(hamlib_.RunDelivered(30s), 0);  // the read-back, then the position it was owed
    EXPECT_FALSE(hamlib_.Silent());
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        ASSERT_TRUE(Last(axis).result.ok) << Last(axis).result.reason;
        ASSERT_TRUE(Last(axis).result.sent);
        EXPECT_EQ(Last(axis).result.sent->azimuth, 4.0);
        EXPECT_EQ(Last(axis).result.sent->elevation, 3.0);
    }
    EXPECT_EQ(JournalLinesWith(": answers again; read back"), 1) << journal_.Text();
    EXPECT_TRUE(Reaches(first_, 4.0, 3.0));
}

// localhost and 127.0.0.1 name one rotctld: both axes go in one call, as under one name.
TEST_F(HamlibAxes, OneRotatorUnderTwoNamesMovesInOneCall) {
    BothAxesHamlib();
    const std::string port = first_.Address().substr(first_.Address().find(':'));
    UseRotators("localhost" + port, first_.Address());
    MoonAt(5.0L, 3.0L);
    SendAndWait(true, true);
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        ASSERT_TRUE(Last(axis).result.ok) << Last(axis).result.reason;
        EXPECT_EQ(Last(axis).result.request.command, Command::kSetPosition);
    }
    EXPECT_TRUE(Reaches(first_, 5.0, 3.0));
    EXPECT_EQ(first_.SetPositions().size(), 1u);
}

// With the azimuth's rotctld stopped, the elevation's gets every command of each send in turn,
// and the stopped one, when it goes on, finishes the request it was in, if any, and then gets the
// newest target only, no backlog.
TEST_F(HamlibAxes, ASilentRotatorHoldsNoOtherUpAndGetsOnlyTheNewestTarget) {
    BothAxesHamlib();
    UseRotators(first_.Address(), second_.Address());
    MoonAt(1.0L, 1.0L);
    SendAndWait(true, true);
    const std::size_t before = first_.SetPositions().size();
    first_.Pause();
    constexpr int kSends = 3;  // each waits for the stopped one's time-out under Hamlib's lock
    for (int send = 1; send <= kSends; ++send) {
        MoonAt(1.0L + send, 1.0L + send);
        hamlib_.Send(true, true);
        // The working rotator takes each target while the other's rotctld stays stopped.
        bool taken = false;
        for (const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(10s);
             !taken && std::chrono::steady_clock::now() < deadline;) {
            HandleResultsFor(20ms);
            const auto healthy = second_.SetPositions();
            taken = !healthy.empty() && healthy.back().second == 1.0 + send;
        }
        ASSERT_TRUE(taken) << "send " << send;
    }
    first_.Resume();
    ASSERT_EQ(hamlib_.RunDelivered(30s), 0);

    const auto healthy = second_.SetPositions();
    ASSERT_EQ(healthy.size(), 1u + kSends);
    for (int send = 1; send <= kSends; ++send) EXPECT_DOUBLE_EQ(healthy[send].second, 1.0 + send);
    const auto silent = first_.SetPositions();
    for (std::size_t i = before + 1; i < silent.size(); ++i) EXPECT_DOUBLE_EQ(silent[i].first, 1.0 + kSends) << i;

    SendUntilAzimuthAnswers();  // and it answers again
    EXPECT_TRUE(Last(Axis::kAzimuth).result.ok) << Last(Axis::kAzimuth).result.reason;
    EXPECT_DOUBLE_EQ(first_.SetPositions().back().first, 1.0 + kSends);
}

// A rotator no axis uses any longer is closed and its worker ends.
TEST_F(HamlibAxes, ARotatorNoLongerUsedIsLetGo) {
    const auto threads = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}); };
    const auto settles = [](const auto& done) {
        for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
            if (done()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    };
    BothAxesHamlib();
    UseRotators(first_.Address(), first_.Address());
    SendAndWait(true, true);
    ASSERT_EQ(first_.OpenConnections(), 1);
    const auto withOneRotator = threads();
    for (int change = 0; change < 6; ++change) {
        const RotctlDaemon& now = change % 2 == 0 ? second_ : first_;
        const RotctlDaemon& before = change % 2 == 0 ? first_ : second_;
        UseRotators(now.Address(), now.Address());
        SendAndWait(true, true);
        EXPECT_TRUE(settles([&] { return before.OpenConnections() == 0; })) << change;
        EXPECT_EQ(now.OpenConnections(), 1);
    }
    EXPECT_TRUE(settles([&] { return threads() == withOneRotator; })) << threads() << " threads";
}

}  // namespace

// A rotator held where it stands by another client of its rotctld (a jammed motor, seen from
// here) is found not following after FollowTime, told once, sent to the park position of
// [Rotator] BelowHorizon as FollowAction=park says, and cleared when let go.
TEST_F(HamlibAxes, ARotatorHeldFromItsTargetIsFoundNotFollowingThenCleared) {
    BothAxesHamlib();
    test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                 "[Hamlib]\nAzModel=2\nAzDevice=" + first_.Address() +
                                     "\nElModel=2\nElDevice=" + first_.Address() +
                                     "\n[Station]\nFollowLimit=2\nFollowTime=2\nFollowAction=park\n");
    // The holder keeps telling the simulator to stop, over a connection of its own.
    std::atomic<bool> holding{true};
    const int port = std::stoi(first_.Address().substr(first_.Address().find(':') + 1));
    std::thread holder([&holding, port] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        char reply[256];
        while (holding) {
            if (::write(fd, "S\n", 2) != 2 || ::read(fd, reply, sizeof reply) <= 0) break;
            std::this_thread::sleep_for(20ms);
        }
        ::close(fd);
    });
    // Targets a few degrees off: the simulator, let go, reaches them within a second.
    MoonAt(6.0L, 5.0L);
    SendAndWait(true, true);
    RotatorSettings::Settings parking;
    parking.belowHorizon = {RotatorSettings::BelowHorizon::kPark, 12, 9};
    hamlib_.UseRotatorSettings(parking);
    // read: the program's watch (called every second; here reading every second rather than every
    // kFollowReadSeconds, so the 2 s of FollowTime are not waited out twice) or the Hamlib page's
    // read-backs, which are weighed as well.
    const auto waitFor = [this](const auto& read, const auto& done) {
        for (auto deadline = std::chrono::steady_clock::now() + 40s; std::chrono::steady_clock::now() < deadline;) {
            read();
            HandleResultsFor(200ms);
            if (done()) return true;
        }
        return false;
    };
    EXPECT_TRUE(waitFor([this] { hamlib_.WatchFollowing(1s); },
                        [this] { return !hamlib_.NotFollowing(Axis::kAzimuth).empty(); }));
    HandleResultsFor(500ms);
    hamlib_.UseRotatorSettings({});
    ASSERT_FALSE(first_.SetPositions().empty());
    EXPECT_EQ(first_.SetPositions().back(), std::make_pair(12.0, 9.0));
    holding = false;
    holder.join();
    const std::string alarm = hamlib_.NotFollowing(Axis::kAzimuth);
    // Once parking, the rotator is watched against the park position.
    EXPECT_EQ(alarm.rfind("Azimuth rotator not following - commanded 12.0, at ", 0), 0u) << alarm;
    EXPECT_EQ(JournalLinesWith("Azimuth rotator not following - commanded 6.0"), 1) << journal_.Text();
    EXPECT_EQ(JournalLinesWith("Elevation rotator not following - commanded 5.0"), 1) << journal_.Text();
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.front().rfind("Azimuth rotator not following - commanded 6.0", 0), 0u) << messages_.front();

    SendAndWait(true, true);  // the next tick, with the rotator free again
    EXPECT_TRUE(waitFor([this] { hamlib_.ReadBack(); },
                        [this] {
                            return hamlib_.NotFollowing(Axis::kAzimuth).empty() &&
                                   hamlib_.NotFollowing(Axis::kElevation).empty();
                        }));
    EXPECT_EQ(JournalLinesWith("Azimuth rotator following again - commanded 6.00"), 1) << journal_.Text();
    EXPECT_EQ(JournalLinesWith("Elevation rotator following again - commanded 5.00"), 1) << journal_.Text();
}

// Axes destroyed with a request in flight (the program exiting, a window's state gone): the result
// that comes back later is dropped, never handled against the state that is gone.
TEST_F(HamlibAxes, AResultArrivingAfterItsAxesAreGoneIsDropped) {
    UseRotators(first_.Address(), first_.Address());
    BothAxesHamlib();
    MoonAt(3.0L, 4.0L);
    {
        HamlibTransport::Axes gone(&journal_);
        gone.Send(true, true);
    }
    SendAndWait(true, true);  // this test's own axes, to the same rotator, after it
    EXPECT_EQ(JournalLinesWith(" on Hamlib "), 1) << journal_.Text();
    EXPECT_TRUE(Last(Axis::kAzimuth).result.ok);
}

// Two sets of axes in one process (the program's and lunark-position's, or two tests') keep their
// own rotators, results and journals.
TEST_F(HamlibAxes, TwoSetsOfAxesKeepTheirOwnRotatorsAndResults) {
    UseRotators(first_.Address(), first_.Address());
    BothAxesHamlib();
    MoonAt(3.0L, 4.0L);
    Journal::Journal otherJournal;
    HamlibTransport::Axes other(&otherJournal);
    const HamlibRotator::Address secondRotator{2, second_.Address(), 0};
    other.SetAxisRotatorForRun(Axis::kAzimuth, secondRotator);
    other.SetAxisRotatorForRun(Axis::kElevation, secondRotator);
    other.Send(true, true);
    SendAndWait(true, true);
    ASSERT_EQ(other.RunDelivered(30s), 0);
    EXPECT_EQ(Last(Axis::kElevation).address.device, first_.Address());
    ASSERT_TRUE(other.LastResult(Axis::kElevation));
    EXPECT_EQ(other.LastResult(Axis::kElevation)->address.device, second_.Address());
    EXPECT_EQ(JournalLinesWith(second_.Address()), 0) << journal_.Text();
    EXPECT_NE(otherJournal.Text().find(" at " + second_.Address() + ": done"), std::string::npos)
        << otherJournal.Text();
}
