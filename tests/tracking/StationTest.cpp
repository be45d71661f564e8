// SPDX-License-Identifier: GPL-3.0-or-later
#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "Station.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Journal.h"
#include "Location.h"
#include "Messages.h"
#include "Position.h"
#include "PseudoTerminal.h"
#include "RotatorTracking.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;
using Protocols::Axis;
using SerialPort::SendStatus;

// Each way a send can end, as the operator reads it: the reason, the device, and what to do.
TEST(StationResults, NameTheReasonAndTheDeviceAndHelpWithPermissions) {
    const Rotators::Send send{"COM40", "9600", "M142\r"};
    struct Case {
        SendStatus status;
        const char* device;
        const char* text;
        bool hint;
    };
    const Case cases[] = {
        {SendStatus::kSent, "/dev/ttyUSB7", "sent", false},
        {SendStatus::kNotFound, "/dev/ttyUSB7", "not found (/dev/ttyUSB7)", false},
        {SendStatus::kNotFound, "", "not found (no device for COM40)", false},
        {SendStatus::kPermissionDenied, "/dev/ttyS0", "permission denied (/dev/ttyS0)", true},
        {SendStatus::kBusy, "/dev/ttyUSB0", "busy, held by another program (/dev/ttyUSB0)", false},
        {SendStatus::kNotATerminal, "/home/op/file", "not a terminal (/home/op/file)", false},
        {SendStatus::kSpeedNotSupported, "/dev/ttyACM0", "line speed not supported (/dev/ttyACM0)", false},
        {SendStatus::kSettingsRefused, "/dev/ttyACM0", "line settings refused (/dev/ttyACM0)", false},
        {SendStatus::kStalled, "/dev/ttyUSB1", "stalled (/dev/ttyUSB1)", false},
        {SendStatus::kWriteFailed, "/dev/ttyUSB1", "write failed (/dev/ttyUSB1)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SerialPort::SendResult result{c.status, c.status == SendStatus::kSent ? 0 : EIO, c.device};
        EXPECT_EQ(Station::ResultText({Axis::kAzimuth, "YAESU GS-232A 9600bd", send, result}), c.text);
        const std::string hint = Station::HintFor(result);
        EXPECT_EQ(hint.find("dialout") != std::string::npos, c.hint) << hint;
    }
}

// A line refused for real: a terminal of root's with mode 0600, as /dev/ttyUSB0 is to an operator
// outside dialout, opened by an unprivileged process (run by a user, the line is theirs with no
// permissions at all).
TEST(StationResults, ALineThatMayNotBeOpenedSaysSoAndPointsToDialout) {
    tracking_test::PseudoTerminal line;
    ASSERT_EQ(::chmod(line.Path().c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
    const Rotators::Send send{"COM1", "9600", "M142\r"};
    const auto end = test_support::RunInChildProcess([&] {
        const SerialPort::SendResult result = SerialPort::SendCommand(line.Path(), send.lineSpeed, send.command);
        EXPECT_EQ(Station::ResultText({Axis::kAzimuth, "YAESU GS-232A 9600bd", send, result}),
                  "permission denied (" + line.Path() + ")");
        EXPECT_NE(Station::HintFor(result).find("dialout"), std::string::npos);
    });
    EXPECT_TRUE(end.Passed()) << end.Describe();
}

// Both lines named in [Ports]: the azimuth on a pseudo-terminal, the elevation on a missing device.
class StationSends : public ::testing::Test {
protected:
    Journal::Journal journal_;
    HamlibTransport::Axes hamlib_;  // the test's own
    AxisTransports::Transports transports_{hamlib_};
    Station::Records records_{journal_, transports_};
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Ports]\nCOM1=" + azimuthLine_.Path() +
                                                                  "\nCOM2=" + dir_.File("unplugged") + "\n");
        Unit3::Locator = "JO22IC";
        Unit3::AZ_COM_NR = 1;
        Unit3::EL_COM_NR = 2;
        Unit3::AZoffset = 10;
        Unit3::ELoffset = 5;
        Unit3::AZtype = "Prosistel-D";
        Unit3::ELtype = "M\xB2 RC2800";
        Unit3::TrackInterval = 1;
        Position::AZtarget = 142;
        Position::ELtarget = 4;
        Position::AZvalue = "142";
        Position::ELvalue = "004";
        previousClock_ =
            Location::SetClock([] { return Location::Instant(sys_days{2026y / December / 7} + 6h + 22min); });
        previousHandler_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previousHandler_);
        Location::SetClock(previousClock_);
        Unit3::ExecutablePath.clear();
    }

    std::vector<std::string> JournalLines() const {
        std::vector<std::string> lines;
        for (const Journal::Entry& entry : journal_.Entries()) lines.push_back(Journal::Line(entry));
        return lines;
    }

    test_support::TempDir dir_;
    tracking_test::PseudoTerminal azimuthLine_;
    std::vector<std::string> messages_;
    Location::ClockFunction previousClock_;
    Messages::MessageHandler previousHandler_;
};

TEST_F(StationSends, EveryCommandAndItsOutcomeIsRecordedNewestFirst) {
    EXPECT_FALSE(records_.SendToRotators());
    EXPECT_EQ(azimuthLine_.Received(16), "\002AG142\r\r\002AG142\r\r");
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - COM2"});  // the box is as it was

    const std::string time = "2026-12-07 06:22:00 UTC  ";
    const std::string unplugged = dir_.File("unplugged");
    EXPECT_EQ(JournalLines(),
              (std::vector<std::string>{
                  time + "Elevation: E004<CR> (45 30 30 34 0D) on COM2 at 9600 baud: not found (" + unplugged +
                      ") [No such file or directory]",
                  time + "Azimuth: <STX>AG142<CR><CR> (02 41 47 31 34 32 0D 0D) on COM1 at 9600 baud: sent",
                  time + "Azimuth: <STX>AG142<CR><CR> (02 41 47 31 34 32 0D 0D) on COM1 at 9600 baud: sent",
                  time + "Settings: Locator JO22IC, AZ_COM_NR 1, EL_COM_NR 2, AZoffset 10, ELoffset 5, "
                         "AZtype Prosistel-D, ELtype M\xC2\xB2 RC2800, TrackInterval 1",
              }));

    const Station::AxisStatus azimuth = records_.StatusOf(Axis::kAzimuth);
    EXPECT_EQ(azimuth.protocol, "Prosistel-D");
    EXPECT_TRUE(azimuth.sends);
    EXPECT_EQ(azimuth.port, "COM1");
    EXPECT_EQ(azimuth.device, azimuthLine_.Path());
    EXPECT_EQ(azimuth.lineSpeed, "9600");
    EXPECT_EQ(azimuth.target, 142);
    ASSERT_TRUE(azimuth.last.has_value());
    EXPECT_EQ(azimuth.last->bytes, "\002AG142\r\r");
    EXPECT_EQ(azimuth.last->at, sys_days{2026y / December / 7} + 6h + 22min);
    EXPECT_EQ(azimuth.last->result, "sent");
    const Station::AxisStatus elevation = records_.StatusOf(Axis::kElevation);
    EXPECT_EQ(elevation.protocol, "M\xC2\xB2 RC2800");
    EXPECT_EQ(elevation.target, 4);
    ASSERT_TRUE(elevation.last.has_value());
    EXPECT_FALSE(elevation.last->sent);
    EXPECT_EQ(elevation.last->result, "not found (" + unplugged + ")");
}

// A retry sends the position again on the line whose command failed, and on no other; once the
// line takes it, or the axis no longer sends on a line, a retry has nothing to send.
TEST_F(StationSends, ARetryResendsOnlyTheLineThatFailedUntilItGoesOut) {
    RotatorTracking::Tracker rotators(transports_);
    EXPECT_FALSE(records_.SendToRotators());
    ASSERT_EQ(azimuthLine_.Received(16).size(), 16u);
    EXPECT_FALSE(records_.LastSendFailed(Axis::kAzimuth));
    ASSERT_TRUE(records_.LastSendFailed(Axis::kElevation));
    EXPECT_FALSE(rotators.RetryFailed(records_, records_.Recorder()));  // still unplugged
    EXPECT_EQ(azimuthLine_.ReceivedNow(), "");

    tracking_test::PseudoTerminal elevationLine;  // plugged in again
    test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                 "[Ports]\nCOM1=" + azimuthLine_.Path() + "\nCOM2=" + elevationLine.Path() + "\n");
    EXPECT_TRUE(rotators.RetryFailed(records_, records_.Recorder()));
    EXPECT_EQ(elevationLine.Received(5), "E004\r");
    EXPECT_FALSE(records_.LastSendFailed(Axis::kElevation));
    EXPECT_TRUE(rotators.RetryFailed(records_, records_.Recorder()));
    EXPECT_EQ(elevationLine.ReceivedNow() + azimuthLine_.ReceivedNow(), "");
    EXPECT_EQ(journal_.Entries().front().text, "Elevation: E004<CR> (45 30 30 34 0D) on COM2 at 9600 baud: sent");

    test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Ports]\nCOM2=" + dir_.File("unplugged") + "\n");
    EXPECT_FALSE(records_.SendToRotators());
    Unit3::ELtype = "none";  // the failed line is no longer the axis's
    EXPECT_FALSE(records_.LastSendFailed(Axis::kElevation));
}

TEST_F(StationSends, NamesNotInTheListAndChangedSettingsAreJournalled) {
    records_.NoteSettings();
    journal_.Clear();
    Unit3::AZoffset = -3;
    Unit3::ELtype = "Hy-Gain DCU-1";  // an azimuth-only name
    records_.NoteSettings();
    records_.NoteSettings();  // nothing changed since: nothing more
    EXPECT_FALSE(records_.SendToRotators());
    const std::string time = "2026-12-07 06:22:00 UTC  ";
    const std::vector<std::string> lines = JournalLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], time +
                            "Elevation: Please reselect Elevation protocol in Setup (\"Hy-Gain DCU-1\" is not a "
                            "protocol of this axis)");
    EXPECT_EQ(lines[3], time + "Settings: ELtype M\xC2\xB2 RC2800 -> Hy-Gain DCU-1");
    EXPECT_EQ(lines[4], time + "Settings: AZoffset 10 -> -3");
    const Station::AxisStatus elevation = records_.StatusOf(Axis::kElevation);
    EXPECT_FALSE(elevation.protocolKnown);
    EXPECT_FALSE(elevation.sends);
    EXPECT_FALSE(elevation.last.has_value());
}

}  // namespace
