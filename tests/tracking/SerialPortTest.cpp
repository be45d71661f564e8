#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Messages.h"
#include "PseudoTerminal.h"
#include "SerialPort.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

class SerialLine : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previous_ =
            Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previous_);
        Unit3::ExecutablePath.clear();
    }
    void MapCom7To(const std::string& device) {
        test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Ports]\nCOM7=" + device + "\n");
    }

    test_support::TempDir dir_;
    tracking_test::PseudoTerminal line_;
    std::vector<std::string> messages_;
    Messages::MessageHandler previous_;
};

TEST_F(SerialLine, WritesAnyBytesWholeAndClosesTheLine) {
    MapCom7To(line_.Path());
    tracking_test::OpenCloseWatch opens(line_.Path());
    const std::string command("\002AG\0\xFF\r", 6);
    EXPECT_TRUE(SerialPort::SendSerial("COM7", "4800", command));
    EXPECT_EQ(line_.Received(command.size()), command);
    EXPECT_EQ(opens.Events(), "OC");
    EXPECT_TRUE(messages_.empty());
}

// Each way a line can fail: reported once with the port text, nothing written, nothing left open.
TEST_F(SerialLine, EveryFailureIsReportedOnceAndLeavesNothingOpen) {
    int holder = -1;  // another program's descriptor, locked
    struct Case {
        const char* what;
        std::function<std::string()> device;  // prepares the device COM7 is mapped to
        const char* lineSpeed;
    };
    const Case cases[] = {
        {"missing device", [&] { return dir_.File("ttyNone"); }, "9600"},
        {"plain file",
         [&] { return test_support::WriteFileBytes(dir_.File("plain"), ""), dir_.File("plain"); }, "9600"},
        {"directory", [&] { return dir_.Path(); }, "9600"},
        {"unknown speed", [&] { return line_.Path(); }, "12345"},
        {"speed not a number", [&] { return line_.Path(); }, "fast"},
        {"held by another program",
         [&] {
             holder = ::open(line_.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
             ::flock(holder, LOCK_EX | LOCK_NB);
             return line_.Path();
         },
         "9600"},
        {"stalled line (gives up after one second)", [&] { return line_.StallOutput(), line_.Path(); },
         "9600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.clear();
        MapCom7To(c.device());
        const int descriptors = test_support::OpenDescriptorCount();
        EXPECT_FALSE(SerialPort::SendSerial("COM7", c.lineSpeed, "M123\r"));
        EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - COM7"});
        EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
        if (holder >= 0) ::close(holder), holder = -1;
        EXPECT_EQ(line_.Received(0).find("M123"), std::string::npos);
    }
    MapCom7To(line_.Path());  // free again, the line works
    EXPECT_TRUE(SerialPort::SendSerial("COM7", "9600", "M123\r"));
    EXPECT_TRUE(line_.Received(5).ends_with("M123\r"));
    messages_.clear();
    EXPECT_FALSE(SerialPort::SendSerial("COM0", "9600", "M123\r"));  // no device for the port
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - COM0"});
}

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
        EXPECT_EQ(SerialPort::DevicePathFor(c.port), c.device);
    }
    Unit3::ExecutablePath.clear();
}

}  // namespace
