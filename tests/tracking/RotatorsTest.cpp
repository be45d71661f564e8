#include "Rotators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Messages.h"
#include "Position.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using Rotators::Axis;
using tracking_test::OpenCloseWatch;
using tracking_test::PseudoTerminal;

// Both rotator lines on pseudo-terminals, mapped as COM1 and COM2 in the [Ports] section of the
// settings file; messages recorded instead of shown.
class RotatorLines : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     "[Lunark]\nLocator=JO22IC\n[Ports]\nCOM1=" + azimuthLine_.Path() +
                                         "\nCOM2=" + elevationLine_.Path() + "\n");
        Unit3::AZ_COM_NR = 1;
        Unit3::EL_COM_NR = 2;
        Unit3::AZtype = "none";
        Unit3::ELtype = "none";
        Position::AZvalue = "123";
        Position::ELvalue = "045";
        previousHandler_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previousHandler_);
        Unit3::ExecutablePath.clear();
    }

    test_support::TempDir dir_;
    PseudoTerminal azimuthLine_;
    PseudoTerminal elevationLine_;
    std::vector<std::string> messages_;

private:
    Messages::MessageHandler previousHandler_;
};

struct WorkedCommand {
    Axis axis;
    const char* protocol;
    std::string bytes;  // one copy, for azimuth 123 and elevation 045
    int copies;
    speed_t speed;
};

// The command bytes each controller's manual gives for azimuth 123 and elevation 045.
const WorkedCommand kWorkedCommands[] = {
    {Axis::kAzimuth, "Hy-Gain DCU-1", "\x41\x50\x31\x31\x32\x33\x3B\x41\x4D\x31\x3B", 1, B4800},
    {Axis::kAzimuth, "Prosistel-D", "\x02\x41\x47\x31\x32\x33\x0D\x0D", 2, B9600},
    {Axis::kAzimuth, "M\xB2 RC2800", "\x41\x31\x32\x33\x0D", 1, B9600},
    {Axis::kAzimuth, "YAESU GS-232A 9600bd", "\x4D\x31\x32\x33\x0D", 1, B9600},
    {Axis::kElevation, "Prosistel-D", "\x02\x41\x47\x30\x34\x35\x0D\x0D", 2, B9600},
    {Axis::kElevation, "Prosistel-D combined", "\x02\x45\x47\x30\x34\x35\x0D\x0D", 2, B9600},
    {Axis::kElevation, "M\xB2 RC2800", "\x45\x30\x34\x35\x0D", 1, B9600},
    {Axis::kElevation, "YAESU GS-232A 9600bd", "\x57\x31\x32\x33\x20\x30\x34\x35\x0D", 1, B9600},
};

TEST_F(RotatorLines, EveryProtocolSendsItsCommandInCompleteOpenWriteCloseCycles) {
    for (const WorkedCommand& worked : kWorkedCommands) {
        const bool azimuth = worked.axis == Axis::kAzimuth;
        SCOPED_TRACE(std::string(azimuth ? "azimuth " : "elevation ") + worked.protocol);
        PseudoTerminal& line = azimuth ? azimuthLine_ : elevationLine_;
        PseudoTerminal& otherLine = azimuth ? elevationLine_ : azimuthLine_;
        (azimuth ? Unit3::AZtype : Unit3::ELtype) = worked.protocol;
        (azimuth ? Unit3::ELtype : Unit3::AZtype) = "none";
        OpenCloseWatch opens(line.Path());
        const int descriptors = test_support::OpenDescriptorCount();

        EXPECT_TRUE(Rotators::SendToRotators());

        std::string expected;
        std::string cycles;
        for (int copy = 0; copy < worked.copies; ++copy) {
            expected += worked.bytes;
            cycles += "OC";
        }
        EXPECT_EQ(line.Received(expected.size()), expected);
        EXPECT_EQ(otherLine.Received(0), "");
        EXPECT_EQ(opens.Events(), cycles);
        const termios settings = line.LineSettings();
        EXPECT_EQ(cfgetospeed(&settings), worked.speed);
        EXPECT_EQ(cfgetispeed(&settings), worked.speed);
        EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(settings.c_oflag & OPOST, 0u);  // CR must not become LF on the way out
        EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
        EXPECT_TRUE(messages_.empty());
    }
}

TEST_F(RotatorLines, YaesuOnBothAxesSendsAzimuthFirstThenBothValuesToTheElevationLine) {
    Unit3::AZtype = "YAESU GS-232A 9600bd";
    Unit3::ELtype = "YAESU GS-232A 9600bd";
    Position::AZvalue = "007";
    Position::ELvalue = "010";
    EXPECT_TRUE(Rotators::SendToRotators());
    EXPECT_EQ(azimuthLine_.Received(5), "M007\r");
    EXPECT_EQ(elevationLine_.Received(9), "W007 010\r");
}

TEST_F(RotatorLines, BothNoneSendsAndShowsNothing) {
    OpenCloseWatch azimuthOpens(azimuthLine_.Path());
    OpenCloseWatch elevationOpens(elevationLine_.Path());
    EXPECT_TRUE(Rotators::SendToRotators());
    EXPECT_EQ(azimuthOpens.Events(), "");
    EXPECT_EQ(elevationOpens.Events(), "");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(RotatorLines, AnUnknownNameShowsItsAxisMessageAndTheOtherAxisStillSends) {
    struct Case {
        const char* azType;
        const char* elType;
        std::vector<std::string> messages;
        const char* azimuthBytes;
        const char* elevationBytes;
    };
    const char* reselectAz = "Please reselect Azimuth protocol in Setup";
    const char* reselectEl = "Please reselect Elevation protocol in Setup";
    const Case cases[] = {
        {"NONE", "M\xB2 RC2800", {reselectAz}, "", "E045\r"},
        {"Prosistel-D combined", "none", {reselectAz}, "", ""},         // elevation only
        {"YAESU GS-232A 9600bd", "Hy-Gain DCU-1", {reselectEl}, "M123\r", ""},  // azimuth only
        {"M\xC2\xB2 RC2800", "M^2 RC2800", {reselectAz, reselectEl}, "", ""},  // UTF-8, ASCII look-alike
        {"yaesu GS-232A 9600bd", "Prosistel-D ", {reselectAz, reselectEl}, "", ""},
        {"", "none", {reselectAz}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.azType) + " / " + c.elType);
        messages_.clear();
        Unit3::AZtype = c.azType;
        Unit3::ELtype = c.elType;
        Rotators::SendToRotators();
        EXPECT_EQ(messages_, c.messages);
        EXPECT_EQ(azimuthLine_.Received(std::string(c.azimuthBytes).size()), c.azimuthBytes);
        EXPECT_EQ(elevationLine_.Received(std::string(c.elevationBytes).size()), c.elevationBytes);
    }
}

TEST_F(RotatorLines, AFailedFirstCopyDoesNotStopTheSecondNorTheOtherAxis) {
    test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Ports]\nCOM3=" + dir_.File("no-such-device") +
                                                              "\nCOM2=" + elevationLine_.Path() + "\n");
    Unit3::AZ_COM_NR = 3;
    Unit3::AZtype = "Prosistel-D";
    Unit3::ELtype = "Prosistel-D combined";
    const int descriptors = test_support::OpenDescriptorCount();
    EXPECT_FALSE(Rotators::SendToRotators());
    EXPECT_EQ(messages_, (std::vector<std::string>{"Comms error - COM3", "Comms error - COM3"}));
    EXPECT_EQ(elevationLine_.Received(16), "\x02" "EG045\r\r\x02" "EG045\r\r");
    EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
}

TEST_F(RotatorLines, NothingIsSentBeforeThereIsAPosition) {
    Unit3::AZtype = "YAESU GS-232A 9600bd";
    Unit3::ELtype = "bogus";
    Position::AZvalue.clear();
    Position::ELvalue.clear();
    OpenCloseWatch azimuthOpens(azimuthLine_.Path());
    EXPECT_FALSE(Rotators::SendToRotators());
    EXPECT_EQ(azimuthOpens.Events(), "");
}

TEST(CommandsFor, NamesThePortAndLineSpeedOfEachCopy) {
    const auto prosistel = Rotators::CommandsFor(Axis::kAzimuth, "Prosistel-D", 3, "123", "045");
    ASSERT_TRUE(prosistel.has_value());
    ASSERT_EQ(prosistel->size(), 2u);
    for (const Rotators::Send& send : *prosistel) {
        EXPECT_EQ(send.port, "COM3");
        EXPECT_EQ(send.lineSpeed, "9600");
    }
    const auto hyGain = Rotators::CommandsFor(Axis::kAzimuth, "Hy-Gain DCU-1", 12, "359", "000");
    ASSERT_TRUE(hyGain.has_value());
    ASSERT_EQ(hyGain->size(), 1u);
    EXPECT_EQ(hyGain->front().port, "COM12");
    EXPECT_EQ(hyGain->front().lineSpeed, "4800");
    EXPECT_EQ(hyGain->front().command, "AP1359;AM1;");
    const auto none = Rotators::CommandsFor(Axis::kElevation, "none", 2, "123", "045");
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
}

}  // namespace
