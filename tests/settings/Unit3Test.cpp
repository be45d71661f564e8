#include "Unit3.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
