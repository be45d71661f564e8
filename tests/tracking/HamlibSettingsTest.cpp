// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "HamlibSettings.h"
#include "IniFile.h"
#include "Journal.h"
#include "TempDir.h"

namespace {

using HamlibRotator::Address;
using Protocols::Axis;
using test_support::ReadFileBytes;
using test_support::WriteFileBytes;

TEST(HamlibSettings, RefuseRotatorsThatCannotBeKeptOrReached) {
    struct Case {
        Axis axis;
        Address rotator;
        const char* problem;  // the start of the message; empty: kept
    };
    const Case cases[] = {
        {Axis::kAzimuth, {2, "localhost:4533", 0}, ""},
        {Axis::kElevation, {601, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1X2P-if00-port0", 9600}, ""},
        {Axis::kAzimuth, {1, "", 0}, ""},  // the simulated rotator is reached over nothing
        {Axis::kAzimuth, {2, "", 0}, "Give the device of the azimuth rotator: where it is reached"},
        {Axis::kElevation, {601, "", 0}, "Give the device of the elevation rotator: its serial line"},
        {Axis::kAzimuth, {600, "/dev/ttyUSB0", 0}, "Hamlib has no rotator model 600"},
        {Axis::kAzimuth, {2, "host:4533\nAzModel=601", 0}, "The device of the azimuth rotator must be printable ASCII"},
        {Axis::kAzimuth, {2, " host:4533", 0}, "The device of the azimuth rotator must be printable ASCII"},
        {Axis::kAzimuth, {601, "/dev/ttyUSB0\xC3\xA9", 0}, "The device of the azimuth rotator must be printable ASCII"},
        {Axis::kAzimuth, {2, "\"host:4533\"", 0}, "The device of the azimuth rotator must not be quoted"},
        {Axis::kAzimuth, {2, std::string(1024, 'h'), 0}, "The device of the azimuth rotator is longer than 1023"},
        {Axis::kAzimuth, {601, "/dev/ttyUSB0", -9600}, "The line speed of the azimuth rotator must be positive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotator.device.substr(0, 40));
        const std::string problem = HamlibSettings::Problem(c.axis, c.rotator);
        EXPECT_EQ(problem.substr(0, std::string(c.problem).size()), c.problem);
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << problem;
    }
}

class HamlibSettingsFile : public ::testing::Test {
protected:
    Journal::Journal journal_;
    std::string Journaled() const { return journal_.Text(); }

    test_support::TempDir dir_;
    const std::string file_ = dir_.File("lunark.ini");
};

TEST_F(HamlibSettingsFile, SavingChangesOnlyTheKeysThatDifferAndJournalsEach) {
    const std::string lunark = "[Lunark]\r\nLocator=JO22IC\r\nAZtype=Hamlib\r\n";
    WriteFileBytes(file_, lunark + "[Hamlib]\r\nElModel=2\r\nElDevice=localhost:4533\r\n");

    EXPECT_EQ(HamlibSettings::Save(journal_, file_, Axis::kAzimuth, Address{601, "/dev/ttyUSB0", 9600}), 3);
    EXPECT_EQ(ReadFileBytes(file_), lunark +
                                        "[Hamlib]\r\nElModel=2\r\nElDevice=localhost:4533\r\nAzModel=601\r\n"
                                        "AzDevice=/dev/ttyUSB0\r\nAzSpeed=9600\r\n");
    EXPECT_EQ(HamlibSettings::Load(file_, Axis::kAzimuth), (Address{601, "/dev/ttyUSB0", 9600}));
    EXPECT_NE(Journaled().find("Settings: AzModel 0 -> 601"), std::string::npos) << Journaled();
    EXPECT_NE(Journaled().find("Settings: AzSpeed 0 -> 9600"), std::string::npos);
    EXPECT_NE(Journaled().find("Settings: AzDevice none -> /dev/ttyUSB0"), std::string::npos);

    // The same again writes nothing; the elevation's device alone changes one line.
    const std::string before = ReadFileBytes(file_);
    EXPECT_EQ(HamlibSettings::Save(journal_, file_, Axis::kAzimuth, Address{601, "/dev/ttyUSB0", 9600}), 0);
    EXPECT_EQ(HamlibSettings::Save(journal_, file_, Axis::kElevation, Address{2, "localhost:4534", 0}), 1);
    EXPECT_EQ(ReadFileBytes(file_), lunark +
                                        "[Hamlib]\r\nElModel=2\r\nElDevice=localhost:4534\r\nAzModel=601\r\n"
                                        "AzDevice=/dev/ttyUSB0\r\nAzSpeed=9600\r\n");
    EXPECT_NE(Journaled().find("Settings: ElDevice localhost:4533 -> localhost:4534"), std::string::npos);

    // No rotator: the model goes to 0, the device and speed stay for the day it comes back.
    EXPECT_EQ(HamlibSettings::Save(journal_, file_, Axis::kAzimuth, std::nullopt), 1);
    EXPECT_EQ(HamlibSettings::Load(file_, Axis::kAzimuth), std::nullopt);
    EXPECT_NE(ReadFileBytes(file_).find("AzModel=0\r\nAzDevice=/dev/ttyUSB0\r\n"), std::string::npos);
}

TEST_F(HamlibSettingsFile, AFileThatCannotBeWrittenIsReportedAndJournaled) {
    std::filesystem::create_directory(file_);  // a folder where the file should be
    EXPECT_THROW(HamlibSettings::Save(journal_, file_, Axis::kAzimuth, Address{2, "localhost:4533", 0}),
                 EIniWriteError);
    EXPECT_TRUE(std::filesystem::is_directory(file_));
    EXPECT_NE(Journaled().find("Settings: the Hamlib rotator of the azimuth not kept: Unable to write to " + file_),
              std::string::npos)
        << Journaled();
}

TEST_F(HamlibSettingsFile, ARotatorThatCannotBeKeptIsNotWritten) {
    WriteFileBytes(file_, "[Lunark]\nLocator=JO22IC\n");
    EXPECT_THROW(HamlibSettings::Save(journal_, file_, Axis::kAzimuth, Address{2, "", 0}), std::invalid_argument);
    EXPECT_EQ(ReadFileBytes(file_), "[Lunark]\nLocator=JO22IC\n");
    EXPECT_EQ(Journaled(), "");
}

}  // namespace
