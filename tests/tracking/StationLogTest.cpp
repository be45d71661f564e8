// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLog.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFileBytes;
using test_support::WriteFileBytes;

// Sets an environment variable for one scope and puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (previous_) {
            ::setenv(name_, previous_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

class LogFile : public ::testing::Test {
protected:
    void TearDown() override { StationLog::SetPath(""); }
    test_support::TempDir dir_;
};

TEST_F(LogFile, LivesBesideTheSettingsOrInTheUsersStateFolder) {
    struct Case {
        const char* settingsExecutable;
        const char* stateHome;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        // Settings beside the executable: the log is kept there too, whatever the environment says.
        {"/opt/lunark/lunark", "/var/state", "/home/op", "/opt/lunark/lunark.log"},
        // Settings in the configuration folder (an installed copy): the state folder.
        {"/home/op/.config/lunark/lunark", "/var/state", "/home/op", "/var/state/lunark/lunark.log"},
        {"/home/op/.config/lunark/lunark", nullptr, "/home/op", "/home/op/.local/state/lunark/lunark.log"},
        {"/home/op/.config/lunark/lunark", "relative/state", "/home/op", "/home/op/.local/state/lunark/lunark.log"},
        {"/home/op/.config/lunark/lunark", "", "/home/op", "/home/op/.local/state/lunark/lunark.log"},
        {"/home/op/.config/lunark/lunark", nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.settingsExecutable) + " " + (c.stateHome ? c.stateHome : "(unset)"));
        const ScopedVariable stateHome("XDG_STATE_HOME", c.stateHome);
        const ScopedVariable home("HOME", c.home);
        EXPECT_EQ(StationLog::DefaultPath(c.settingsExecutable, "/opt/lunark/lunark"), c.expected);
    }
}

TEST_F(LogFile, AppendsLinesAndCreatesItsFolder) {
    const std::string path = dir_.File("state/lunark/lunark.log");
    StationLog::SetPath(path);
    const int descriptors = test_support::OpenDescriptorCount();
    EXPECT_TRUE(StationLog::Append("first"));
    EXPECT_TRUE(StationLog::Append("second, M\xC2\xB2 RC2800"));
    EXPECT_EQ(ReadFileBytes(path), "first\nsecond, M\xC2\xB2 RC2800\n");
    EXPECT_EQ(StationLog::Problem(), "");
    EXPECT_EQ(test_support::OpenDescriptorCount(), descriptors);  // never held open
}

// 1 MB is 1 048 576 bytes; a line that would pass it moves the file to lunark.log.1 first.
TEST_F(LogFile, KeepsOneRotatedFileOnceAMegabyteIsReached) {
    const std::string path = dir_.File("lunark.log");
    struct Case {
        std::size_t before;  // bytes already in lunark.log
        std::string line;
        bool rotates;
    };
    const Case cases[] = {
        {1048576 - 10, "123456789", false},  // 9 + line end: exactly 1 MB
        {1048576 - 10, "1234567890", true},  // one byte over
        {1048576, "x", true},
        {0, std::string(1048576 + 100, 'y'), false},  // a first line longer than the cap still goes in
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        WriteFileBytes(path, std::string(c.before, 'a'));
        WriteFileBytes(path + ".1", "an older rotation\n");
        StationLog::SetPath(path);
        ASSERT_TRUE(StationLog::Append(c.line));
        if (c.rotates) {
            EXPECT_EQ(ReadFileBytes(path), c.line + "\n");
            EXPECT_EQ(fs::file_size(path + ".1"), c.before);
        } else {
            EXPECT_EQ(fs::file_size(path), c.before + c.line.size() + 1);
            EXPECT_EQ(ReadFileBytes(path + ".1"), "an older rotation\n");
        }
    }
}

TEST_F(LogFile, AFileThatCannotBeWrittenIsReportedAndNothingElseHappens) {
    WriteFileBytes(dir_.File("plain-file"), "");
    const std::string path = dir_.File("plain-file/lunark.log");  // its folder is a file
    StationLog::SetPath(path);
    EXPECT_FALSE(StationLog::Append("lost"));
    EXPECT_FALSE(StationLog::Append("lost again"));
    EXPECT_NE(StationLog::Problem().find(dir_.File("plain-file")), std::string::npos) << StationLog::Problem();
    EXPECT_NE(StationLog::Problem().find("Not a directory"), std::string::npos) << StationLog::Problem();

    StationLog::SetPath("");  // off: every line is taken, nothing is written
    EXPECT_TRUE(StationLog::Append("nowhere"));
    EXPECT_EQ(StationLog::Problem(), "");
}

}  // namespace
