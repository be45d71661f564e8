#include "IniFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"

namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

std::string ErrorOf(const std::function<void()>& write) {
    try {
        write();
    } catch (const EIniWriteError& error) {
        return error.what();
    }
    return "no error";
}

TEST(IniFileRead, FollowsTheWindowsLookupRules) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFileBytes(path,
                   "; a comment\r\n"
                   "[Other]\r\n"
                   "Locator=XX00XX\r\n"
                   "  [ lunark ]  \r\n"
                   "  LOCATOR   =   KO88AB  \r\n"
                   "Locator=JO22IC\r\n"
                   "Empty=\r\n"
                   "NoEquals\r\n"
                   "[Lunark]\r\n"
                   "Top=5\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Lunark", "Locator", "def"), "KO88AB");  // first section, first key
    EXPECT_EQ(ini.ReadString("LUNARK", "locator", "def"), "KO88AB");
    EXPECT_EQ(ini.ReadString("Lunark", "Empty", "def"), "");
    EXPECT_EQ(ini.ReadString("Lunark", "Top", "def"), "def");  // only the first [Lunark] is searched
    EXPECT_EQ(ini.ReadString("Lunark", "NoEquals", "def"), "def");
    EXPECT_EQ(ini.ReadString("Other", "Locator", "def"), "XX00XX");
    EXPECT_EQ(ini.ReadString("Missing", "Locator", "def"), "def");
}

TEST(IniFileRead, ReadsLfFilesAndALastLineWithoutBreak) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFileBytes(path, "[Lunark]\nTop=12\nLeft=0x1F");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 100), 12);
    EXPECT_EQ(ini.ReadInteger("Lunark", "Left", 100), 31);
}

TEST(IniFileRead, CutsValuesAt1023Bytes) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFileBytes(path, "[Lunark]\nLocator=" + std::string(5000, 'A') + "\n");
    EXPECT_EQ(TIniFile(path).ReadString("Lunark", "Locator", ""), std::string(1023, 'A'));
}

TEST(IniFileRead, UnusableFilesReadAsEmpty) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.ini"));
    EXPECT_EQ(TIniFile(dir.File("folder.ini")).ReadString("Lunark", "Locator", "def"), "def");
    EXPECT_EQ(TIniFile(dir.File("missing.ini")).ReadInteger("Lunark", "Top", 100), 100);

    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
    WriteFileBytes(dir.File("garbage.ini"), garbage);
    EXPECT_EQ(TIniFile(dir.File("garbage.ini")).ReadInteger("Lunark", "Top", 100), 100);

    if (::geteuid() != 0) {  // root reads whatever the permissions say
        WriteFileBytes(dir.File("locked.ini"), "[Lunark]\nTop=7\n");
        ::chmod(dir.File("locked.ini").c_str(), 0);
        EXPECT_EQ(TIniFile(dir.File("locked.ini")).ReadInteger("Lunark", "Top", 100), 100);
    }
}

TEST(IniFileWrite, CreatesTheFileWithTheSection) {
    TempDir dir;
    TIniFile ini(dir.File("new.ini"));
    ini.WriteString("Lunark", "Locator", "JO22IC");
    ini.WriteInteger("Lunark", "Top", -3);
    EXPECT_EQ(ReadFileBytes(dir.File("new.ini")), "[Lunark]\nLocator=JO22IC\nTop=-3\n");
}

TEST(IniFileWrite, ChangesOneKeyAndKeepsEveryOtherByte) {
    const struct {
        const char* name;
        std::string before;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"replace keeps CRLF and foreign lines",
         "; mine\r\n[Ports]\r\nCOM1=/dev/serial/by-id/usb-FTDI\r\n\r\n[Lunark]\r\nTop=1\r\nLeft=2\r\n",
         "top", "50",
         "; mine\r\n[Ports]\r\nCOM1=/dev/serial/by-id/usb-FTDI\r\n\r\n[Lunark]\r\ntop=50\r\nLeft=2\r\n"},
        {"new key goes after the section's last line, before blank lines",
         "[Lunark]\nTop=1\n\n[Ports]\nCOM3=/dev/pts/4\n", "Left", "9",
         "[Lunark]\nTop=1\nLeft=9\n\n[Ports]\nCOM3=/dev/pts/4\n"},
        {"new section is appended after a last line without break",
         "[Ports]\nCOM1=/dev/ttyUSB0", "Top", "100",
         "[Ports]\nCOM1=/dev/ttyUSB0\n[Lunark]\nTop=100\n"},
        {"new key in a last section without a final break",
         "[Lunark]\r\nTop=1", "Left", "2",
         "[Lunark]\r\nTop=1\r\nLeft=2\r\n"},
        {"only the first of duplicate keys changes",
         "[Lunark]\nTop=1\nTop=2\n", "Top", "3",
         "[Lunark]\nTop=3\nTop=2\n"},
        {"a value cannot break the line structure",
         "[Lunark]\n", "Locator", "JO\r\n[Evil]",
         "[Lunark]\nLocator=JO  [Evil]\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.File("a.ini");
        WriteFileBytes(path, c.before);
        TIniFile(path).WriteString("Lunark", c.key, c.value);
        EXPECT_EQ(ReadFileBytes(path), c.after) << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
            << c.name << ": a temporary file was left behind";
    }
}

TEST(IniFileWrite, FailureNamesThePathAndLeavesNothingBehind) {
    // Nothing can be created in /proc, not even by root.
    const std::string unwritable = "/proc/lunark-test.ini";
    EXPECT_EQ(ErrorOf([&] { TIniFile(unwritable).WriteString("Lunark", "Top", "1"); }),
              "Unable to write to " + unwritable);
    EXPECT_FALSE(std::filesystem::exists(unwritable));

    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.ini"));
    EXPECT_EQ(ErrorOf([&] { TIniFile(dir.File("folder.ini")).WriteInteger("Lunark", "Top", 1); }),
              "Unable to write to " + dir.File("folder.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.ini")));
}

TEST(IniFileWrite, ReadOnlyFileIsNeitherReplacedNorChanged) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFileBytes(path, "[Lunark]\nTop=1\n");
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(ErrorOf([&] { TIniFile(path).WriteString("Lunark", "Top", "2"); }), "Unable to write to " + path);
    EXPECT_EQ(ReadFileBytes(path), "[Lunark]\nTop=1\n");
}

TEST(IniFileWrite, KeepsASymbolicLinkAndItsFileMode) {
    TempDir dir;
    const std::string real = dir.File("real.ini");
    const std::string link = dir.File("link.ini");
    WriteFileBytes(real, "[Lunark]\nTop=1\n");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink(real, link);
    TIniFile(link).WriteString("Lunark", "Top", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), "[Lunark]\nTop=2\n");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

}  // namespace
