#include "SerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Messages.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using tracking_test::OpenCloseWatch;
using tracking_test::PseudoTerminal;

class SerialLine : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousHandler_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previousHandler_);
        Unit3::ExecutablePath.clear();
    }
    void MapPort(const std::string& port, const std::string& device) {
        test_support::WriteFileBytes(dir_.File("lunark.ini"), "[Lunark]\nAZ_COM_NR=7\n[Ports]\n" + port + "=" + device + "\n");
    }

    test_support::TempDir dir_;
    PseudoTerminal line_;
    std::vector<std::string> messages_;

private:
    Messages::MessageHandler previousHandler_;
};

TEST_F(SerialLine, WritesTheCommandWholeAndClosesTheLine) {
    MapPort("COM7", line_.Path());
    OpenCloseWatch opens(line_.Path());
    const int descriptors = test_support::OpenDescriptorCount();
    const std::string command("\x02" "AG\0\xFF\r", 6);  // any byte may travel, NUL included
    EXPECT_TRUE(SerialPort::SendSerial("COM7", "4800", command));
    EXPECT_EQ(line_.Received(command.size()), command);
    EXPECT_EQ(opens.Events(), "OC");
    EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
    EXPECT_TRUE(messages_.empty());
}

// Each way a line can fail: reported once with the port text, nothing left open.
TEST_F(SerialLine, EveryFailureIsReportedOnceAndLeavesNothingOpen) {
    struct Case {
        const char* what;
        std::function<std::string()> prepare;  // gives the device the port is mapped to
        const char* lineSpeed;
    };
    std::optional<int> holder;  // another program's descriptor, locked
    const Case cases[] = {
        {"missing device", [&] { return dir_.File("ttyNone"); }, "9600"},
        {"not a terminal",
         [&] {
             test_support::WriteFileBytes(dir_.File("plain"), "");
             return dir_.File("plain");
         },
         "9600"},
        {"a directory", [&] { return dir_.Path(); }, "9600"},
        {"speed unknown", [&] { return line_.Path(); }, "12345"},
        {"speed not a number", [&] { return line_.Path(); }, "fast"},
        {"speed empty", [&] { return line_.Path(); }, ""},
        {"held by another program",
         [&] {
             holder = ::open(line_.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
             ::flock(*holder, LOCK_EX | LOCK_NB);
             return line_.Path();
         },
         "9600"},
        {"stalled line",
         [&] {
             line_.StallOutput();
             return line_.Path();
         },
         "9600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.clear();
        MapPort("COM7", c.prepare());
        const int descriptors = test_support::OpenDescriptorCount();
        EXPECT_FALSE(SerialPort::SendSerial("COM7", c.lineSpeed, "M123\r"));
        EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - COM7"});
        EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);
        if (holder) ::close(*holder);
        holder.reset();
        line_.Drain();
    }
    // The line works again once it is free.
    messages_.clear();
    MapPort("COM7", line_.Path());
    EXPECT_TRUE(SerialPort::SendSerial("COM7", "9600", "M123\r"));
    EXPECT_EQ(line_.Received(5), "M123\r");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SerialLine, ALockedLineReceivesNothing) {
    MapPort("COM7", line_.Path());
    const int holder = ::open(line_.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(SerialPort::SendSerial("COM7", "9600", "M123\r"));
    ::close(holder);
    EXPECT_EQ(line_.Received(0), "");
}

TEST_F(SerialLine, PortsWithoutADeviceAreReportedWithTheirText) {
    for (const char* port : {"COM0", "COM97", "COM-1", "COM", "COM1x", "LPT1"}) {
        SCOPED_TRACE(port);
        messages_.clear();
        EXPECT_FALSE(SerialPort::SendSerial(port, "9600", "M123\r"));
        EXPECT_EQ(messages_, std::vector<std::string>{std::string("Comms error - ") + port});
    }
}

TEST(DevicePathFor, MapsPortNumbersToLinuxSerialDevices) {
    Unit3::ExecutablePath.clear();
    struct Case {
        const char* port;
        std::optional<std::string> device;
    };
    const Case cases[] = {
        {"COM1", "/dev/ttyS0"},     {"COM32", "/dev/ttyS31"},   {"COM33", "/dev/ttyUSB0"},
        {"COM64", "/dev/ttyUSB31"}, {"COM65", "/dev/ttyACM0"},  {"COM96", "/dev/ttyACM31"},
        {"COM010", "/dev/ttyS9"},   {"COM0", std::nullopt},     {"COM97", std::nullopt},
        {"COM-3", std::nullopt},    {"COM+3", std::nullopt},    {"COM 3", std::nullopt},
        {"com3", std::nullopt},     {"COM99999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(SerialPort::DevicePathFor(c.port), c.device);
    }
}

TEST(DevicePathFor, ThePortsSectionOfTheSettingsFileComesFirst) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    test_support::WriteFileBytes(dir.File("lunark.ini"),
                                 "[Lunark]\r\nCOM1=/dev/wrong\r\n[ports]\r\n com1 = /dev/serial/by-id/usb-FTDI\r\n"
                                 "COM200=/dev/ttyRotor\r\n");
    EXPECT_EQ(SerialPort::DevicePathFor("COM1"), "/dev/serial/by-id/usb-FTDI");
    EXPECT_EQ(SerialPort::DevicePathFor("COM200"), "/dev/ttyRotor");
    EXPECT_EQ(SerialPort::DevicePathFor("COM2"), "/dev/ttyS1");
    Unit3::ExecutablePath.clear();
}

}  // namespace
