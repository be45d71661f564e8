// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Messages.h"
#include "Protocols.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "Transport.h"
#include "Unit3.h"

namespace {

TEST(DevicePathFor, MapsPortsThroughTheSettingsFileThenToLinuxSerialDevices) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    test_support::WriteFileBytes(
        dir.File("lunark.ini"),
        "[Lunark]\r\nCOM1=/dev/wrong\r\n[ports]\r\n com1 = /dev/serial/by-id/usb-FTDI\r\n"
        "COM200=/dev/ttyRotor\r\n");
    struct Case {
        const char* port;
        std::optional<std::string> device;
    };
    const Case cases[] = {
        {"COM1", "/dev/serial/by-id/usb-FTDI"},
        {"COM200", "/dev/ttyRotor"},
        {"COM2", "/dev/ttyS1"},
        {"COM32", "/dev/ttyS31"},
        {"COM33", "/dev/ttyUSB0"},
        {"COM64", "/dev/ttyUSB31"},
        {"COM65", "/dev/ttyACM0"},
        {"COM96", "/dev/ttyACM31"},
        {"COM010", "/dev/ttyS9"},
        {"COM0", std::nullopt},
        {"COM97", std::nullopt},
        {"COM-3", std::nullopt},
        {"COM+3", std::nullopt},
        {"COM 3", std::nullopt},
        {"com3", std::nullopt},
        {"COM", std::nullopt},
        {"LPT1", std::nullopt},
        {"COM99999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(Transport::DevicePathFor(c.port), c.device);
    }
    // A hand edit of the file counts from the next send on.
    test_support::WriteFileBytes(dir.File("lunark.ini"), "[Ports]\nCOM2=/dev/ttyRotor2\n");
    EXPECT_EQ(Transport::DevicePathFor("COM2"), "/dev/ttyRotor2");
    EXPECT_EQ(Transport::DevicePathFor("COM1"), "/dev/ttyS0");
    Unit3::ExecutablePath.clear();
}

// The serial line takes the protocol row and the targets: the row's bytes for the targets, as many
// copies as the row says, each its own open-write-close cycle, one result per copy.
TEST(SerialTransport, SendsEachCopyInItsOwnCycleAndAnswersForEach) {
    test_support::TempDir dir;
    tracking_test::PseudoTerminal line;
    Unit3::ExecutablePath = dir.File("lunark");
    test_support::WriteFileBytes(dir.File("lunark.ini"), "[Ports]\nCOM4=" + line.Path() + "\n");
    std::vector<std::string> messages;
    const auto previous =
        Messages::SetMessageHandler([&messages](const std::string& text) { messages.push_back(text); });
    struct Case {
        Protocols::Axis axis;
        const char* name;
        std::string bytes;  // one copy, for azimuth 7 and elevation 62
        std::size_t copies;
    };
    const Case cases[] = {
        {Protocols::Axis::kAzimuth, "Prosistel-D", "\002AG007\r\r", 2},
        {Protocols::Axis::kElevation, "YAESU GS-232A 9600bd", "W007 062\r", 1},
        {Protocols::Axis::kElevation, "none", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Protocols::Protocol* protocol = Protocols::FindProtocol(c.axis, c.name);
        ASSERT_NE(protocol, nullptr);
        tracking_test::OpenCloseWatch opens(line.Path());
        const auto results = Transport::SendOverSerialLine("COM4", *protocol, {7, 62});
        ASSERT_EQ(results.size(), c.copies);
        std::string expected, cycles;
        for (const SerialPort::SendResult& result : results) {
            EXPECT_TRUE(result.Sent());
            EXPECT_EQ(result.devicePath, line.Path());
            expected += c.bytes, cycles += "OC";
        }
        EXPECT_EQ(line.Received(expected.size()), expected);
        EXPECT_EQ(opens.Events(), cycles);
    }
    EXPECT_TRUE(messages.empty());

    // A port without a device: each copy is tried and reported.
    const auto results = Transport::SendOverSerialLine(
        "COM0", *Protocols::FindProtocol(Protocols::Axis::kAzimuth, "Prosistel-D"), {7, 62});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].status, SerialPort::SendStatus::kNotFound);
    EXPECT_EQ(messages, (std::vector<std::string>{"Comms error - COM0", "Comms error - COM0"}));
    Messages::SetMessageHandler(previous);
    Unit3::ExecutablePath.clear();
}

}  // namespace
