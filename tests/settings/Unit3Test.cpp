// SPDX-License-Identifier: GPL-3.0-or-later
#include "Unit3.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "ChildProcess.h"
#include "IniFile.h"
#include "TempDir.h"

namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

constexpr char kFirstRunFile[] =
    "[Lunark]\n"
    "Locator=JO22IC\n"
    "Top=100\n"
    "Left=100\n"
    "AZ_COM_NR=1\n"
    "EL_COM_NR=2\n"
    "AZoffset=0\n"
    "ELoffset=0\n"
    "AZtype=Hy-Gain DCU-1\n"
    "ELtype=Prosistel-D\n"
    "TrackInterval=0\n";

void SetFirstRunValues() {
    Unit3::Locator = "JO22IC";
    Unit3::AZ_COM_NR = 1;
    Unit3::EL_COM_NR = 2;
    Unit3::AZoffset = 0;
    Unit3::ELoffset = 0;
    Unit3::AZtype = "Hy-Gain DCU-1";
    Unit3::ELtype = "Prosistel-D";
    Unit3::TrackInterval = 0;
}

TEST(SettingsFile, IsNamedAfterTheExecutable) {
    EXPECT_EQ(Unit3::SettingsFileFor("/opt/lunark/lunark"), "/opt/lunark/lunark.ini");
    EXPECT_EQ(Unit3::SettingsFileFor("/opt/lunark/lunark.bin"), "/opt/lunark/lunark.ini");
    EXPECT_EQ(Unit3::SettingsFileFor("/opt/v1.2/lunark"), "/opt/v1.2/lunark.ini");
    EXPECT_EQ(Unit3::SettingsFileFor("lunark.tar.gz"), "lunark.tar.ini");
}

TEST(SettingsFile, SaveWritesTheKeysInOrder) {
    TempDir dir;
    const std::string exe = dir.File("lunark");
    SetFirstRunValues();
    Unit3::SaveSettings(exe, 100, 100);
    EXPECT_EQ(ReadFileBytes(dir.File("lunark.ini")), kFirstRunFile);
}

TEST(SettingsFile, LoadTakesDefaultsForWhatIsMissingOrUnusable) {
    TempDir dir;
    const std::string exe = dir.File("lunark");
    WriteFileBytes(dir.File("lunark.ini"),
                   "[lunark]\r\n"
                   "locator=\r\n"
                   "AZ_COM_NR=abc\r\n"
                   "EL_COM_NR=\r\n"
                   "AZoffset=-5\r\n"
                   "ELoffset= 7\r\n"
                   "TrackInterval=0x0A\r\n");
    Unit3::AZtype = Unit3::ELtype = "stale";
    const auto position = Unit3::LoadSettings(exe);
    EXPECT_EQ(position.Top, 100);
    EXPECT_EQ(position.Left, 100);
    EXPECT_EQ(Unit3::Locator, "");  // present but empty: no default
    EXPECT_EQ(Unit3::AZ_COM_NR, 1);
    EXPECT_EQ(Unit3::EL_COM_NR, 2);
    EXPECT_EQ(Unit3::AZoffset, -5);
    EXPECT_EQ(Unit3::ELoffset, 7);
    EXPECT_EQ(Unit3::AZtype, "Hy-Gain DCU-1");
    EXPECT_EQ(Unit3::ELtype, "Prosistel-D");
    EXPECT_EQ(Unit3::TrackInterval, 10);

    WriteFileBytes(dir.File("lunark.ini"), "[Lunark]\nTrackInterval=$0A\n");
    Unit3::LoadSettings(exe);
    EXPECT_EQ(Unit3::TrackInterval, 10);
    EXPECT_EQ(Unit3::Locator, "JO22IC");

    std::filesystem::remove(dir.File("lunark.ini"));
    Unit3::LoadSettings(exe);
    EXPECT_EQ(Unit3::TrackInterval, 1);  // a missing file gives the defaults
}

TEST(SettingsFile, SuperscriptTwoIsStoredAsOneByteAndReadBack) {
    TempDir dir;
    const std::string exe = dir.File("lunark");
    SetFirstRunValues();
    Unit3::AZtype = "M\xB2 RC2800";
    Unit3::SaveSettings(exe, 1, 2);
    EXPECT_NE(ReadFileBytes(dir.File("lunark.ini")).find("AZtype=M\xB2 RC2800\n"), std::string::npos);
    Unit3::AZtype.clear();
    Unit3::LoadSettings(exe);
    EXPECT_EQ(Unit3::AZtype, "M\xB2 RC2800");
}

TEST(SettingsFile, SaveKeepsWhatOthersWroteAndTheLineEnds) {
    TempDir dir;
    const std::string exe = dir.File("lunark");
    const std::string foreign = "; station G4XYZ\r\n[Ports]\r\nCOM7=/dev/serial/by-id/usb-FTDI_FT232R-if00\r\n";
    WriteFileBytes(dir.File("lunark.ini"), foreign + "[Lunark]\r\nTop=5\r\n");
    SetFirstRunValues();
    Unit3::SaveSettings(exe, 30, 40);
    const std::string after = ReadFileBytes(dir.File("lunark.ini"));
    EXPECT_EQ(after.substr(0, foreign.size()), foreign);
    EXPECT_NE(after.find("[Lunark]\r\nTop=30\r\nLocator=JO22IC\r\nLeft=40\r\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("\n\n"), std::string::npos);
}

TEST(SettingsFile, FailedSaveRaisesTheMessageWithThePath) {
    SetFirstRunValues();
    try {
        Unit3::SaveSettings("/proc/lunark", 100, 100);
        FAIL() << "no error";
    } catch (const EIniWriteError& error) {
        EXPECT_STREQ(error.what(), "Unable to write to /proc/lunark.ini");
    }
}

// Windows Notepad saves with a UTF-8 byte-order mark.
TEST(SettingsFile, NotepadsMarkIsReadPastAndKept) {
    TempDir dir;
    const std::string exe = dir.File("lunark");
    WriteFileBytes(dir.File("lunark.ini"),
                   "\xEF\xBB\xBF[Lunark]\r\nLocator=KP20LE\r\nAZ_COM_NR=3\r\nAZtype=M\xC2\xB2 RC2800\r\n"
                   "ELtype=\"YAESU GS-232A 9600bd\"\r\n");
    Unit3::LoadSettings(exe);
    EXPECT_EQ(Unit3::Locator, "KP20LE");
    EXPECT_EQ(Unit3::AZ_COM_NR, 3);
    EXPECT_EQ(Unit3::AZtype, "M\xB2 RC2800");
    EXPECT_EQ(Unit3::ELtype, "YAESU GS-232A 9600bd");

    Unit3::SaveSettings(exe, 10, 20);
    const std::string after = ReadFileBytes(dir.File("lunark.ini"));
    EXPECT_EQ(after.substr(0, 13), "\xEF\xBB\xBF[Lunark]\r\n");
    EXPECT_EQ(after.find("[Lunark]", 4), std::string::npos) << after;
    EXPECT_NE(after.find("AZtype=M\xC2\xB2 RC2800\r\n"), std::string::npos) << after;
}

// A FIFO would hang a plain open until a writer came; a device would be opened with side effects.
// Each case runs in a child process with a time limit, so a hang fails the test.
TEST(SettingsFile, SomethingOtherThanAFileIsAFileThatCannotBeRead) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
    } cases[] = {
        {"FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); }},
        {"directory", [](const std::string& path) { std::filesystem::create_directory(path); }},
        {"character device", [](const std::string& path) { std::filesystem::create_symlink("/dev/null", path); }},
        {"link to a FIFO",
         [](const std::string& path) {
             ASSERT_EQ(::mkfifo((path + ".fifo").c_str(), 0644), 0);
             std::filesystem::create_symlink(path + ".fifo", path);
         }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string exe = dir.File("lunark");
        const std::string ini = dir.File("lunark.ini");
        c.make(ini);
        const auto kind = std::filesystem::status(ini).type();
        const auto end = test_support::RunInChildProcess(
            [&] {
                Unit3::Locator = "stale";
                Unit3::LoadSettings(exe);
                EXPECT_EQ(Unit3::Locator, "JO22IC");
                EXPECT_EQ(TIniFile(ini).ReadString("Ports", "COM1", "none"), "none");
                try {
                    Unit3::SaveSettings(exe, 100, 100);
                    ADD_FAILURE() << "no error";
                } catch (const EIniWriteError& error) {
                    EXPECT_EQ(error.what(), "Unable to write to " + ini);
                }
            },
            test_support::RunAs::CurrentUser, 10);
        EXPECT_TRUE(end.Passed()) << c.name << ": " << end.Describe();
        EXPECT_EQ(std::filesystem::status(ini).type(), kind) << c.name;
    }
}

// One process saves over and over, each save changing every value; the other takes the lock
// between saves and must always find one whole save, never the first keys of the next one.
TEST(SettingsFile, ASaveIsOneChangeForOtherProcesses) {
    TempDir dir;
    const std::string exe = dir.File("lunark");
    SetFirstRunValues();
    Unit3::SaveSettings(exe, 100, 100);
    const auto setValues = [](int n) {
        Unit3::Locator = n == 1 ? "AA11AA" : "BB22BB";
        Unit3::AZ_COM_NR = Unit3::EL_COM_NR = Unit3::AZoffset = Unit3::ELoffset = Unit3::TrackInterval = n;
        Unit3::AZtype = Unit3::ELtype = std::to_string(n);
    };
    const pid_t saver = test_support::StartChildProcess([&] {
        for (int i = 0; i < 16; ++i) {
            setValues(1 + i % 2);
            Unit3::SaveSettings(exe, 1 + i % 2, 1 + i % 2);
        }
    });
    bool saverDone = false;
    int status = 0;
    for (int checks = 1; !saverDone && !::testing::Test::HasFailure(); ++checks) {
        saverDone = ::waitpid(saver, &status, WNOHANG) == saver;
        TIniFile lock(Unit3::SettingsFileFor(exe));
        lock.LockForUpdate();
        const auto position = Unit3::LoadSettings(exe);
        lock.Unlock();
        if (Unit3::Locator == "JO22IC") continue;  // before the first save
        const int n = Unit3::Locator == "AA11AA" ? 1 : 2;
        const int numbers[] = {position.Top,    position.Left,   Unit3::AZ_COM_NR,    Unit3::EL_COM_NR,
                               Unit3::AZoffset, Unit3::ELoffset, Unit3::TrackInterval};
        for (const int number : numbers) EXPECT_EQ(number, n) << "a save in progress, check " << checks;
        EXPECT_EQ(Unit3::AZtype, std::to_string(n));
        EXPECT_EQ(Unit3::ELtype, std::to_string(n));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!saverDone) ::waitpid(saver, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SettingsFile, InstalledCopyKeepsItsSettingsInTheUsersConfigFolder) {
    TempDir dir;
    const std::string beside = dir.File("lunark");
    EXPECT_EQ(Unit3::SettingsExecutablePath(beside), beside);  // writable folder

    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    // Not writable; and installed under /usr, where even root keeps nothing beside the program.
    for (const char* installed : {"/proc/lunark", "/usr/bin/lunark", "/usr/local/bin/lunark"}) {
        SCOPED_TRACE(installed);
        EXPECT_EQ(Unit3::SettingsExecutablePath(installed), dir.File("lunark/lunark"));
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("lunark")));
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
