// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "AxisTransports.h"
#include "HamlibStandIns.h"
#include "HamlibTransport.h"
#include "Messages.h"
#include "Position.h"
#include "PseudoTerminal.h"
#include "Rotators.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using tracking_test::OpenCloseWatch;
using tracking_test::PseudoTerminal;

// Both rotator lines on pseudo-terminals, COM1 and COM2 under [Ports] in the settings
// file; azimuth target 123 (value 123), elevation target 45 (value 045); messages recorded.
class RotatorLines : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     "[Ports]\nCOM1=" + azimuthLine_.Path() + "\nCOM2=" + elevationLine_.Path() + "\n");
        Unit3::AZ_COM_NR = 1;
        Unit3::EL_COM_NR = 2;
        Position::AZtarget = 123;
        Position::AZvalue = "123";
        Position::ELtarget = 45;
        Position::ELvalue = "045";
        previous_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previous_);
        Unit3::ExecutablePath.clear();
    }

    test_support::TempDir dir_;
    HamlibTransport::Axes hamlib_;  // the test's own
    AxisTransports::Transports transports_{hamlib_};
    PseudoTerminal azimuthLine_, elevationLine_;
    std::vector<std::string> messages_;
    Messages::MessageHandler previous_;
};

// The bytes each controller takes for azimuth 123 and elevation 045, from the controllers' manuals.
TEST_F(RotatorLines, EveryProtocolSendsItsCommandInCompleteOpenWriteCloseCycles) {
    struct Case {
        const char *azType, *elType;
        std::string bytes;  // one copy
        int copies;
        speed_t speed;
    };
    const Case cases[] = {
        {"Hy-Gain DCU-1", "none", "\x41\x50\x31\x31\x32\x33\x3B\x41\x4D\x31\x3B", 1, B4800},
        {"Prosistel-D", "none", "\x02\x41\x47\x31\x32\x33\x0D\x0D", 2, B9600},
        {"M\xB2 RC2800", "none", "\x41\x31\x32\x33\x0D", 1, B9600},
        {"YAESU GS-232A 9600bd", "none", "\x4D\x31\x32\x33\x0D", 1, B9600},
        {"none", "Prosistel-D", "\x02\x41\x47\x30\x34\x35\x0D\x0D", 2, B9600},
        {"none", "Prosistel-D combined", "\x02\x45\x47\x30\x34\x35\x0D\x0D", 2, B9600},
        {"none", "M\xB2 RC2800", "\x45\x30\x34\x35\x0D", 1, B9600},
        {"none", "YAESU GS-232A 9600bd", "\x57\x31\x32\x33\x20\x30\x34\x35\x0D", 1, B9600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.azType) + " / " + c.elType);
        const bool azimuth = std::string(c.elType) == "none";
        PseudoTerminal& line = azimuth ? azimuthLine_ : elevationLine_;
        Unit3::AZtype = c.azType;
        Unit3::ELtype = c.elType;
        OpenCloseWatch opens(line.Path());
        const int descriptors = test_support::OpenDescriptorCount();

        EXPECT_TRUE(Rotators::SendToRotators(transports_));

        std::string expected, cycles;
        for (int copy = 0; copy < c.copies; ++copy) expected += c.bytes, cycles += "OC";
        EXPECT_EQ(line.Received(expected.size()), expected);
        EXPECT_EQ((azimuth ? elevationLine_ : azimuthLine_).Received(0), "");
        EXPECT_EQ(opens.Events(), cycles);
        const termios settings = line.LineSettings();
        EXPECT_EQ(cfgetospeed(&settings), c.speed);
        EXPECT_EQ(cfgetispeed(&settings), c.speed);
        EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CLOCAL | CREAD),
                  static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
        EXPECT_EQ(settings.c_oflag & OPOST, 0u);  // a CR must stay a CR
        EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
        EXPECT_TRUE(messages_.empty());
    }
}

TEST_F(RotatorLines, NamesAreMatchedByteForByteAndEachAxisStandsAlone) {
    const std::string az = "Please reselect Azimuth protocol in Setup";
    const std::string el = "Please reselect Elevation protocol in Setup";
    struct Case {
        const char *azType, *elType;
        std::vector<std::string> messages;
        const char *azimuthBytes, *elevationBytes;
    };
    const Case cases[] = {
        {"YAESU GS-232A 9600bd", "YAESU GS-232A 9600bd", {}, "M123\r", "W123 045\r"},
        {"none", "none", {}, "", ""},
        {"NONE", "M\xB2 RC2800", {az}, "", "E045\r"},
        {"Prosistel-D combined", "none", {az}, "", ""},                 // elevation only
        {"YAESU GS-232A 9600bd", "Hy-Gain DCU-1", {el}, "M123\r", ""},  // azimuth only
        {"M\xC2\xB2 RC2800", "M2 RC2800", {az, el}, "", ""},            // UTF-8, look-alike
        {"yaesu GS-232A 9600bd", "Prosistel-D ", {az, el}, "", ""},
        {"", "none", {az}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.azType) + " / " + c.elType);
        messages_.clear();
        Unit3::AZtype = c.azType;
        Unit3::ELtype = c.elType;
        EXPECT_EQ(Rotators::SendToRotators(transports_), c.messages.empty());
        EXPECT_EQ(messages_, c.messages);
        EXPECT_EQ(azimuthLine_.Received(std::string(c.azimuthBytes).size()), c.azimuthBytes);
        EXPECT_EQ(elevationLine_.Received(std::string(c.elevationBytes).size()), c.elevationBytes);
    }
}

TEST_F(RotatorLines, AFailedFirstCopyDoesNotStopTheSecondNorTheOtherAxis) {
    test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                 "[Ports]\nCOM3=" + dir_.File("unplugged") + "\nCOM2=" + elevationLine_.Path() + "\n");
    Unit3::AZ_COM_NR = 3;
    Unit3::AZtype = "Prosistel-D";
    Unit3::ELtype = "Prosistel-D combined";
    EXPECT_FALSE(Rotators::SendToRotators(transports_));
    EXPECT_EQ(messages_, (std::vector<std::string>{"Comms error - COM3", "Comms error - COM3"}));
    EXPECT_EQ(elevationLine_.Received(16), "\002EG045\r\r\002EG045\r\r");
}

// An axis set to "Hamlib" puts nothing on its COM line: its rotator is Hamlib's.
TEST_F(RotatorLines, HamlibAxesLeaveTheirLinesToHamlib) {
    tracking_test::RotctlDaemon daemon;
    test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                 "[Ports]\nCOM1=" + azimuthLine_.Path() + "\nCOM2=" + elevationLine_.Path() +
                                     "\n[Hamlib]\nAzModel=2\nAzDevice=" + daemon.Address() + "\n");
    Position::TargetAzimuth = 1.5L;
    Position::TargetElevation = 45.0L;
    Unit3::AZoffset = Unit3::ELoffset = 0;
    Unit3::AZtype = "Hamlib";
    Unit3::ELtype = "YAESU GS-232A 9600bd";
    EXPECT_TRUE(Rotators::SendToRotators(transports_));
    EXPECT_EQ(elevationLine_.Received(9), "W123 045\r");
    EXPECT_EQ(hamlib_.RunDelivered(std::chrono::seconds(30)), 0);
    const auto azimuth = hamlib_.LastResult(Protocols::Axis::kAzimuth);
    ASSERT_TRUE(azimuth && azimuth->result.ok);
    EXPECT_EQ(azimuth->result.sent->azimuth, 1.5);
    EXPECT_EQ(azimuthLine_.Received(0), "");
    EXPECT_TRUE(messages_.empty());

    Unit3::AZtype = "hamlib";  // letter case counts, as for every name
    EXPECT_FALSE(Rotators::SendToRotators(transports_));
    EXPECT_EQ(messages_, std::vector<std::string>{"Please reselect Azimuth protocol in Setup"});
}

TEST_F(RotatorLines, NothingIsSentBeforeThereIsAPosition) {
    Unit3::AZtype = Unit3::ELtype = "YAESU GS-232A 9600bd";
    Position::AZvalue.clear();
    Position::ELvalue.clear();
    OpenCloseWatch opens(azimuthLine_.Path());
    EXPECT_FALSE(Rotators::SendToRotators(transports_));
    EXPECT_EQ(opens.Events(), "");
}

}  // namespace
