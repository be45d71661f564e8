// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Protocols.h"
#include "PseudoTerminal.h"
#include "Transport.h"

namespace {

// The serial line takes the protocol row and the targets: the row's bytes for the targets, as many
// copies as the row says, each its own open-write-close cycle, one result per copy.
TEST(SerialTransport, SendsEachCopyInItsOwnCycleAndAnswersForEach) {
    tracking_test::PseudoTerminal line;
    const Transport::PortEntries ports = [&line](const std::string& port) {
        return port == "COM4" ? line.Path() : std::string();
    };
    std::vector<std::string> messages;
    const Transport::ShowMessage show = [&messages](const std::string& text) { messages.push_back(text); };
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
        const auto results = Transport::SendOverSerialLine(ports, "COM4", *protocol, {7, 62}, show);
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
        ports, "COM0", *Protocols::FindProtocol(Protocols::Axis::kAzimuth, "Prosistel-D"), {7, 62}, show);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].status, SerialPort::SendStatus::kNotFound);
    EXPECT_EQ(messages, (std::vector<std::string>{"Comms error - COM0", "Comms error - COM0"}));
}

}  // namespace
