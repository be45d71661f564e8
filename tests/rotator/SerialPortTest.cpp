// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "PseudoTerminal.h"
#include "SerialPort.h"
#include "TempDir.h"
#include "Transport.h"

namespace {

using SerialPort::SendStatus;

class SerialLine : public ::testing::Test {
protected:
    void MapCom7To(const std::string& device) { com7_ = device; }
    // One command through the transport, with COM7's entry and the messages recorded.
    SerialPort::SendResult SendSerial(const std::string& port, std::string_view lineSpeed, std::string_view command) {
        return Transport::SendSerial([this](const std::string& name) { return name == "COM7" ? com7_ : std::string(); },
                                     port, lineSpeed, command,
                                     [this](const std::string& text) { messages_.push_back(text); });
    }

    test_support::TempDir dir_;
    tracking_test::PseudoTerminal line_;
    std::string com7_;
    std::vector<std::string> messages_;
};

TEST_F(SerialLine, WritesAnyBytesWholeAndClosesTheLine) {
    MapCom7To(line_.Path());
    tracking_test::OpenCloseWatch opens(line_.Path());
    const std::string command("\002AG\0\xFF\r", 6);
    const SerialPort::SendResult result = SendSerial("COM7", "4800", command);
    EXPECT_TRUE(result.Sent());
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(result.devicePath, line_.Path());
    EXPECT_EQ(line_.Received(command.size()), command);
    EXPECT_EQ(opens.Events(), "OC");
    EXPECT_TRUE(messages_.empty());
}

// Each way a line can fail: the serial layer names the reason and the system's error, the port's
// sender reports it once with the port text; nothing written, nothing left open.
TEST_F(SerialLine, EveryFailureIsNamedReportedOnceAndLeavesNothingOpen) {
    int holder = -1;  // another program's descriptor, locked
    struct Case {
        const char* what;
        std::function<std::string()> device;  // prepares the device COM7 is mapped to
        const char* lineSpeed;
        SendStatus status;
        int error;  // errno; -1: any non-zero value
    };
    const Case cases[] = {
        {"missing device", [&] { return dir_.File("ttyNone"); }, "9600", SendStatus::kNotFound, ENOENT},
        {"plain file", [&] { return test_support::WriteFileBytes(dir_.File("plain"), ""), dir_.File("plain"); }, "9600",
         SendStatus::kNotATerminal, ENOTTY},
        {"directory", [&] { return dir_.Path(); }, "9600", SendStatus::kNotATerminal, EISDIR},
        {"unknown speed", [&] { return line_.Path(); }, "12345", SendStatus::kSpeedNotSupported, 0},
        {"speed not a number", [&] { return line_.Path(); }, "fast", SendStatus::kSpeedNotSupported, 0},
        {"held by another program",
         [&] {
             holder = ::open(line_.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
             ::flock(holder, LOCK_EX | LOCK_NB);
             return line_.Path();
         },
         "9600", SendStatus::kBusy, EWOULDBLOCK},
        {"stalled line (gives up after one second)", [&] { return line_.StallOutput(), line_.Path(); }, "9600",
         SendStatus::kStalled, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.clear();
        const std::string device = c.device();
        MapCom7To(device);
        const int descriptors = test_support::OpenDescriptorCount();

        const auto start = std::chrono::steady_clock::now();
        const SerialPort::SendResult result = SerialPort::SendCommand(device, c.lineSpeed, "M123\r");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.devicePath, device);
        if (c.status == SendStatus::kStalled) {
            // A loose bound: the write limit is one second, and a stalled line must not hold the
            // window for many.
            EXPECT_GE(took.count(), 0.9);
            EXPECT_LE(took.count(), 3.0);
        }
        EXPECT_TRUE(messages_.empty());  // the serial layer tells nobody

        EXPECT_EQ(SendSerial("COM7", c.lineSpeed, "M123\r").status, c.status);
        EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - COM7"});
        EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
        if (holder >= 0) ::close(holder), holder = -1;
        EXPECT_EQ(line_.Received(0).find("M123"), std::string::npos);
    }
    MapCom7To(line_.Path());  // free again, the line works
    EXPECT_TRUE(SendSerial("COM7", "9600", "M123\r").Sent());
    EXPECT_TRUE(line_.Received(5).ends_with("M123\r"));
    messages_.clear();
    const SerialPort::SendResult unmapped = SendSerial("COM0", "9600", "M123\r");  // no device
    EXPECT_EQ(unmapped.status, SendStatus::kNotFound);
    EXPECT_EQ(unmapped.devicePath, "");
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - COM0"});
}

}  // namespace
