// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "SerialTransport.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

TEST(DevicePathFor, MapsPortsThroughTheSettingsFileThenToLinuxSerialDevices) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    test_support::WriteFileBytes(dir.File("lunark.ini"),
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
        EXPECT_EQ(SerialTransport::DevicePathFor(c.port), c.device);
    }
    // A hand edit of the file counts from the next send on.
    test_support::WriteFileBytes(dir.File("lunark.ini"), "[Ports]\nCOM2=/dev/ttyRotor2\n");
    EXPECT_EQ(SerialTransport::DevicePathFor("COM2"), "/dev/ttyRotor2");
    EXPECT_EQ(SerialTransport::DevicePathFor("COM1"), "/dev/ttyS0");
    Unit3::ExecutablePath.clear();
}

}  // namespace
