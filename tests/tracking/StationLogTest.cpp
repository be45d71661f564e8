// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <optional>
#include <string>

#include "ChildProcess.h"
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
    StationLog::LogFile log_;
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
    log_.SetPath(path);
    const int descriptors = test_support::OpenDescriptorCount();
    EXPECT_TRUE(log_.Append("first"));
    EXPECT_TRUE(log_.Append("second, M\xC2\xB2 RC2800"));
    EXPECT_EQ(ReadFileBytes(path), "first\nsecond, M\xC2\xB2 RC2800\n");
    EXPECT_EQ(log_.Problem(), "");
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
        log_.SetPath(path);
        ASSERT_TRUE(log_.Append(c.line));
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
    log_.SetPath(path);
    EXPECT_FALSE(log_.Append("lost"));
    EXPECT_FALSE(log_.Append("lost again"));
    EXPECT_NE(log_.Problem().find(dir_.File("plain-file")), std::string::npos) << log_.Problem();
    EXPECT_NE(log_.Problem().find("Not a directory"), std::string::npos) << log_.Problem();

    log_.SetPath("");  // off: every line is taken, nothing is written
    EXPECT_TRUE(log_.Append("nowhere"));
    EXPECT_EQ(log_.Problem(), "");
}

// A FIFO in the log's place, or a link to one, would block the open until something read it: it is
// reported as a log that cannot be written, and the program goes on (a hang ends the child).
TEST_F(LogFile, AFifoInItsPlaceIsReportedWithoutBlocking) {
    ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0644), 0);
    fs::create_symlink(dir_.File("fifo"), dir_.File("link-to-fifo"));
    for (const char* name : {"fifo", "link-to-fifo"}) {
        SCOPED_TRACE(name);
        const auto end = test_support::RunInChildProcess(
            [&] {
                log_.SetPath(dir_.File(name));
                EXPECT_FALSE(log_.Append("lost"));
                EXPECT_EQ(log_.Problem(), dir_.File(name) + ": not a regular file");
            },
            test_support::RunAs::CurrentUser, 10);
        EXPECT_TRUE(end.Passed()) << end.Describe();
    }
}

// The log a link names turns over; the link stays and names the new log.
TEST_F(LogFile, ALinkKeepsNamingTheCurrentLogWhenItTurnsOver) {
    fs::create_directory(dir_.File("logs"));
    const std::string file = dir_.File("logs/lunark.log"), link = dir_.File("lunark.log");
    WriteFileBytes(file, std::string(StationLog::kCapBytes, 'a'));
    fs::create_symlink(file, link);
    log_.SetPath(link);
    ASSERT_TRUE(log_.Append("new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), file);
    EXPECT_EQ(ReadFileBytes(file), "new\n");
    EXPECT_EQ(fs::file_size(file + ".1"), StationLog::kCapBytes);
}

// A full disk, for real: a file size limit makes the write stop partway (EFBIG, as ENOSPC would).
// The next line that goes in starts on a line of its own, after the count of the lines lost.
TEST_F(LogFile, AfterAFullDiskTheNextLineSaysHowManyWereLost) {
    const std::string path = dir_.File("lunark.log");
    const auto end = test_support::RunInChildProcess(
        [&] {
            ::signal(SIGXFSZ, SIG_IGN);
            log_.SetPath(path);
            ASSERT_TRUE(log_.Append("first"));
            struct rlimit limit {};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            const rlim_t unlimited = limit.rlim_cur;
            limit.rlim_cur = 10;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
            EXPECT_FALSE(log_.Append("second line"));  // "seco" goes in
            EXPECT_FALSE(log_.Append("third"));
            limit.rlim_cur = unlimited;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
            EXPECT_TRUE(log_.Append("fourth"));
            EXPECT_TRUE(log_.Append("fifth"));
        },
        test_support::RunAs::CurrentUser);
    ASSERT_TRUE(end.Passed()) << end.Describe();
    EXPECT_EQ(ReadFileBytes(path), "first\nseco\n2 lines lost: disk full\nfourth\nfifth\n");
}

// Another process turning the log over while this one waits for the lock: this one then writes
// to the new log and does not turn it over a second time (which would lose the first log).
TEST_F(LogFile, TwoProcessesSharingItTurnItOverOnce) {
    const std::string path = dir_.File("lunark.log");
    WriteFileBytes(path, std::string(StationLog::kCapBytes, 'a'));
    const int held = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const pid_t child = test_support::StartChildProcess([&] {
        ::close(held);  // the lock is the other process's alone
        log_.SetPath(path);
        EXPECT_TRUE(log_.Append("from the child"));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the child reaches the lock
    fs::rename(path, path + ".1");                                // the other process turns it over
    WriteFileBytes(path, "the other's line\n");
    ::close(held);
    const test_support::ChildEnd end = test_support::WaitForChild(child);
    EXPECT_TRUE(end.Passed()) << end.Describe();
    EXPECT_EQ(fs::file_size(path + ".1"), StationLog::kCapBytes);
    EXPECT_EQ(ReadFileBytes(path), "the other's line\nfrom the child\n");
}

}  // namespace
