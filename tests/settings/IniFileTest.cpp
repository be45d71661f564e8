// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "TimeScale.h"

namespace {

using test_support::ReadFileBytes;
using test_support::RunAs;
using test_support::RunInChildProcess;
using test_support::TempDir;
using test_support::WriteFileBytes;

// A file's bytes in UTF-16 with its byte-order mark, written out unit by unit.
std::string Utf16File(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::size_t EntriesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

struct stat StatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

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

    WriteFileBytes(dir.File("locked.ini"), "[Lunark]\nTop=7\n");
    ::chmod(dir.File("locked.ini").c_str(), 0);
    ::chmod(dir.Path().c_str(), 0755);
    const auto end = RunInChildProcess(  // root would read whatever the permissions say
        [&] { EXPECT_EQ(TIniFile(dir.File("locked.ini")).ReadInteger("Lunark", "Top", 100), 100); });
    EXPECT_TRUE(end.Passed()) << end.Describe();
}

TEST(IniFileRead, TakesMarkedUnicodeFilesAndQuotedValues) {
    const struct {
        const char* name;
        std::string file;
        const char* key;
        std::string expected;
    } cases[] = {
        {"UTF-8 mark (Notepad)", "\xEF\xBB\xBF[Lunark]\r\nAZtype=M\xC2\xB2 RC2800\r\n", "AZtype", "M\xB2 RC2800"},
        {"UTF-8 mark, bytes that are not UTF-8 kept", "\xEF\xBB\xBF[Lunark]\nAZtype=M\xB2\n", "AZtype", "M\xB2"},
        {"no mark: bytes as they are", "[Lunark]\nAZtype=M\xC2\xB2\n", "AZtype", "M\xC2\xB2"},
        {"UTF-16 LE", Utf16File(u"[Lunark]\r\nLocator=KP20LE\r\n", false), "Locator", "KP20LE"},
        {"UTF-16 BE", Utf16File(u"; \u263A\n[Lunark]\nAZtype=M\u00B2 RC2800\n", true), "AZtype", "M\xB2 RC2800"},
        {"UTF-16: euro sign is 0x80", Utf16File(u"[Lunark]\nLocator=\u20AC5\n", false), "Locator",
         "\x80"
         "5"},
        {"UTF-16: a character Windows-1252 lacks is ?", Utf16File(u"[Lunark]\nLocator=JO\u263A\U0001F319\n", false),
         "Locator", "JO??"},
        {"double quotes", "[Lunark]\nLocator=\"KP20LE\"\n", "Locator", "KP20LE"},
        {"single quotes", "[Lunark]\nLocator='KP20LE'\n", "Locator", "KP20LE"},
        {"quotes keep the blanks inside", "[Lunark]\nLocator = \" KP20LE \" \n", "Locator", " KP20LE "},
        {"only one pair", "[Lunark]\nLocator=\"\"KP\"\"\n", "Locator", "\"KP\""},
        {"empty quotes", "[Lunark]\nLocator=''\n", "Locator", ""},
        {"quotes that do not match stay", "[Lunark]\nLocator=\"KP20LE'\n", "Locator", "\"KP20LE'"},
        {"a lone quote stays", "[Lunark]\nLocator=\"\n", "Locator", "\""},
        {"a quote inside stays", "[Lunark]\nLocator=KP\"20\"\n", "Locator", "KP\"20\""},
        {"quotes in a UTF-16 file", Utf16File(u"[Lunark]\nLocator=\"KP20LE\"\n", false), "Locator", "KP20LE"},
        {"a last line ending in a lone CR", "[Lunark]\r\nLocator=KP20LE\r", "Locator", "KP20LE"},
        {"lines ending in CR only", "[Ports]\rCOM1=/dev/ttyS0\r[Lunark]\rLocator=KP20LE\rTop=1\r", "Locator", "KP20LE"},
        {"UTF-16 LE without a mark", Utf16File(u"[Lunark]\r\nLocator=KP20LE\r\n", false).substr(2), "Locator",
         "KP20LE"},
        {"UTF-16 BE without a mark", Utf16File(u"[Lunark]\nAZtype=M\u00B2\n", true).substr(2), "AZtype", "M\xB2"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFileBytes(dir.File("a.ini"), c.file);
        EXPECT_EQ(TIniFile(dir.File("a.ini")).ReadString("Lunark", c.key, "default"), c.expected) << c.name;
    }
}

// Bytes this process has read from files so far (the kernel's count).
std::uint64_t BytesRead() {
    const std::string io = ReadFileBytes("/proc/self/io");
    return std::stoull(io.substr(io.find("rchar: ") + 7));
}

// Dozens of keys are read per update: a large file is read once for all of them, and read again
// once anything changes it, whoever writes it and however, however soon after.
TEST(IniFileRead, ReadsAFileOnceUntilItChanges) {
    // The file's times tell a change once it is this old (the program waits two seconds).
    constexpr std::chrono::milliseconds kSettle{150};
    TIniFile::SetSettleTime(kSettle);
    struct Restore {
        ~Restore() { TIniFile::SetSettleTime(std::chrono::seconds(2)); }
    } restore;
    TempDir dir;
    const std::string path = dir.File("a.ini");
    const std::string filler = "; " + std::string(1 << 20, 'x') + "\n";
    WriteFileBytes(path, "[Lunark]\nTop=0\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 9), 0);
    WriteFileBytes(path, "[Lunark]\nTop=1\n");  // at once, in place, the same size
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 9), 1);

    WriteFileBytes(path, filler + "[Lunark]\nTop=1\n");
    // Times that close to the change cannot tell another change; once it has settled they can.
    const struct stat written = StatOf(path);
    const auto timeOf = [](const struct timespec& stamp) {
        return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
    };
    const auto changed = std::max(timeOf(written.st_mtim), timeOf(written.st_ctim));
    const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(std::chrono::seconds(5));
    while (std::chrono::system_clock::now() <= changed + kSettle && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::uint64_t before = BytesRead();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 0), 1);
    EXPECT_LT(BytesRead() - before, 2 * filler.size());

    WriteFileBytes(path, filler + "[Lunark]\nTop=2\n");  // in place, the same size
    const struct timespec later[2] = {{0, UTIME_OMIT}, {StatOf(path).st_mtim.tv_sec + 1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 0), 2);
    WriteFileBytes(dir.File("b.ini"), "[Lunark]\nTop=3\n");
    std::filesystem::rename(dir.File("b.ini"), path);  // another file in its place
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 0), 3);
    TIniFile(path).WriteInteger("Lunark", "Top", 4);
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 0), 4);
    std::filesystem::remove(path);
    EXPECT_EQ(ini.ReadInteger("Lunark", "Top", 0), 0);
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
         "; mine\r\n[Ports]\r\nCOM1=/dev/serial/by-id/usb-FTDI\r\n\r\n[Lunark]\r\nTop=1\r\nLeft=2\r\n", "top", "50",
         "; mine\r\n[Ports]\r\nCOM1=/dev/serial/by-id/usb-FTDI\r\n\r\n[Lunark]\r\ntop=50\r\nLeft=2\r\n"},
        {"new key goes after the section's last line, before blank lines",
         "[Lunark]\nTop=1\n\n[Ports]\nCOM3=/dev/pts/4\n", "Left", "9",
         "[Lunark]\nTop=1\nLeft=9\n\n[Ports]\nCOM3=/dev/pts/4\n"},
        {"new section is appended after a last line without break", "[Ports]\nCOM1=/dev/ttyUSB0", "Top", "100",
         "[Ports]\nCOM1=/dev/ttyUSB0\n[Lunark]\nTop=100\n"},
        {"new key in a last section without a final break", "[Lunark]\r\nTop=1", "Left", "2",
         "[Lunark]\r\nTop=1\r\nLeft=2\r\n"},
        {"only the first of duplicate keys changes", "[Lunark]\nTop=1\nTop=2\n", "Top", "3",
         "[Lunark]\nTop=3\nTop=2\n"},
        {"a value cannot break the line structure", "[Lunark]\n", "Locator", "JO\r\n[Evil]",
         "[Lunark]\nLocator=JO  [Evil]\n"},
        {"a value in quotes gets one more pair, so it reads back whole", "[Lunark]\n", "Locator", "'JO22IC'",
         "[Lunark]\nLocator=\"'JO22IC'\"\n"},
        {"a UTF-8 mark stays and is not taken for part of the section line", "\xEF\xBB\xBF[Lunark]\r\nTop=1\r\n",
         "AZtype", "M\xB2 RC2800", "\xEF\xBB\xBF[Lunark]\r\nTop=1\r\nAZtype=M\xC2\xB2 RC2800\r\n"},
        {"UTF-16 LE stays UTF-16 LE, other lines unit for unit",
         Utf16File(u"; \u263A \U0001F319\r\n[Lunark]\r\nTop=1\r\n", false), "Top", "20",
         Utf16File(u"; \u263A \U0001F319\r\n[Lunark]\r\nTop=20\r\n", false)},
        {"UTF-16 BE stays UTF-16 BE", Utf16File(u"[Lunark]\nTop=1\n", true), "ELtype", "M\xB2 RC2800",
         Utf16File(u"[Lunark]\nTop=1\nELtype=M\u00B2 RC2800\n", true)},
        {"CR line ends stay CR", "[Lunark]\rTop=1\r\r[Ports]\rCOM1=/dev/ttyS0", "Left", "9",
         "[Lunark]\rTop=1\rLeft=9\r\r[Ports]\rCOM1=/dev/ttyS0"},
        {"UTF-16 without a mark stays without one", Utf16File(u"[Lunark]\r\nTop=1\r\n", false).substr(2), "Top", "2",
         Utf16File(u"[Lunark]\r\nTop=2\r\n", false).substr(2)},
        {"a lone surrogate and an odd last byte survive", Utf16File(u"; \xD800.\n[Lunark]\nTop=1\n", false) + "!",
         "Top", "2", Utf16File(u"; \xD800.\n[Lunark]\nTop=2\n", false) + "!"},
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

// Who may write what: each case runs its save in a child process, as the unprivileged user unless
// it is root's own save. The folder is the user's; "root's" files need root to set them up.
TEST(IniFileWrite, KeepsOwnerGroupAndModeAndWritesInPlaceOnlyWhenItMust) {
    enum class Outcome { Replaced, InPlace, Refused };
    const struct {
        const char* name;
        RunAs who;
        bool fileIsRoots;
        mode_t fileMode;
        mode_t folderMode;
        Outcome outcome;
    } cases[] = {
        {"own file: replaced, private mode kept", RunAs::UnprivilegedUser, false, 0600, 0755, Outcome::Replaced},
        {"own file with odd mode bits", RunAs::UnprivilegedUser, false, 02640, 0755, Outcome::Replaced},
        {"root saving a user's file leaves it theirs", RunAs::CurrentUser, false, 0640, 0755, Outcome::Replaced},
        {"shared file in a folder the user cannot write", RunAs::UnprivilegedUser, false, 0666, 0555, Outcome::InPlace},
        {"root's shared file: the replacement could not be root's", RunAs::UnprivilegedUser, true, 0666, 0755,
         Outcome::InPlace},
        {"read-only file", RunAs::UnprivilegedUser, false, 0444, 0755, Outcome::Refused},
        {"read-only file in a read-only folder", RunAs::UnprivilegedUser, false, 0444, 0555, Outcome::Refused},
    };
    const bool root = ::geteuid() == 0;
    for (const auto& c : cases) {
        if (!root && (c.fileIsRoots || c.who == RunAs::CurrentUser)) continue;  // needs root to set up
        TempDir dir;
        ::chmod(dir.Path().c_str(), 0755);
        const std::string folder = dir.File("station");
        const std::string path = folder + "/lunark.ini";
        std::filesystem::create_directory(folder);
        const std::string before = "; G4XYZ\n[Lunark]\nTop=1\n" + std::string(200, ';') + "\n";
        WriteFileBytes(path, before);
        test_support::GiveToUnprivilegedUser(folder);
        if (!c.fileIsRoots) test_support::GiveToUnprivilegedUser(path);
        ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const struct stat old = StatOf(path);

        const auto end = RunInChildProcess(
            [&] {
                const std::string error = ErrorOf([&] { TIniFile(path).WriteString("Lunark", "Top", "2"); });
                EXPECT_EQ(error, c.outcome == Outcome::Refused ? "Unable to write to " + path : "no error");
            },
            c.who);
        EXPECT_TRUE(end.Passed()) << c.name << ": " << end.Describe();

        const struct stat now = StatOf(path);
        EXPECT_EQ(ReadFileBytes(path),
                  c.outcome == Outcome::Refused ? before : "; G4XYZ\n[Lunark]\nTop=2\n" + std::string(200, ';') + "\n")
            << c.name;
        EXPECT_EQ(now.st_ino == old.st_ino, c.outcome != Outcome::Replaced) << c.name;
        EXPECT_EQ(now.st_uid, old.st_uid) << c.name;
        EXPECT_EQ(now.st_gid, old.st_gid) << c.name;
        EXPECT_EQ(now.st_mode, old.st_mode) << c.name;
        EXPECT_EQ(EntriesIn(folder), 1u) << c.name << ": a temporary file was left behind";
    }
}

TEST(IniFileWrite, WritesThroughSymbolicLinksAndKeepsThem) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> links;  // link name, what it points to
        bool targetExists;
        const char* target;  // the file the writes must reach
    } cases[] = {
        {"link to a file", {{"lunark.ini", "real.ini"}}, true, "real.ini"},
        {"dangling link: the file it names is created", {{"lunark.ini", "real.ini"}}, false, "real.ini"},
        {"dangling link into another folder", {{"lunark.ini", "conf/real.ini"}}, false, "conf/real.ini"},
        {"chain of links ending dangling",
         {{"lunark.ini", "conf/middle.ini"}, {"conf/middle.ini", "../real.ini"}},
         false,
         "real.ini"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::filesystem::create_directory(dir.File("conf"));
        for (const auto& [link, pointsTo] : c.links) std::filesystem::create_symlink(pointsTo, dir.File(link));
        if (c.targetExists) WriteFileBytes(dir.File(c.target), "[Lunark]\nTop=1\n");

        TIniFile ini(dir.File("lunark.ini"));
        ini.WriteString("Lunark", "Top", "2");
        ini.WriteString("Lunark", "Left", "3");
        EXPECT_EQ(ReadFileBytes(dir.File(c.target)), "[Lunark]\nTop=2\nLeft=3\n") << c.name;
        EXPECT_EQ(ini.ReadInteger("Lunark", "Left", 0), 3) << c.name;
        for (const auto& [link, pointsTo] : c.links) {
            EXPECT_TRUE(std::filesystem::is_symlink(dir.File(link))) << c.name << ": " << link;
            EXPECT_EQ(std::filesystem::read_symlink(dir.File(link)), pointsTo) << c.name;
        }
        const std::size_t files = c.links.size() + 2;  // the links, the target and the folder conf
        EXPECT_EQ(EntriesIn(dir.Path()) + EntriesIn(dir.File("conf")), files) << c.name << ": leftovers";
    }

    TempDir dir;
    std::filesystem::create_symlink("b.ini", dir.File("a.ini"));
    std::filesystem::create_symlink("a.ini", dir.File("b.ini"));
    EXPECT_EQ(ErrorOf([&] { TIniFile(dir.File("a.ini")).WriteString("Lunark", "Top", "1"); }),
              "Unable to write to " + dir.File("a.ini"));
}

// A save cut short once its temporary file exists. With SIGXFSZ ignored the write fails with EFBIG
// (as on a full disk) and the save reports it; with the signal's default action the process dies
// half way through the write, as a killed save would, and leaves its temporary file behind. Either
// way the file keeps its old content, and the next save removes what the dead one left, but
// neither a temporary file a live save holds nor files that only look alike.
TEST(IniFileWrite, SaveCutShortLeavesTheFileAndTheNextSaveCleansUp) {
    const std::string before = "[Lunark]\nTop=1\n; " + std::string(4000, 'x') + "\n";
    for (const bool killed : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("lunark.ini");
        WriteFileBytes(path, before);
        const auto end = RunInChildProcess(
            [&] {
                if (!killed) ::signal(SIGXFSZ, SIG_IGN);
                const rlimit noCore{0, 0};
                const rlimit limit{1024, 1024};
                ASSERT_EQ(::setrlimit(RLIMIT_CORE, &noCore), 0);
                ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
                EXPECT_EQ(ErrorOf([&] { TIniFile(path).WriteString("Lunark", "Top", "2"); }),
                          "Unable to write to " + path);
            },
            RunAs::CurrentUser);
        EXPECT_EQ(end.Describe(), killed ? "killed by SIGXFSZ" : "passed");
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(EntriesIn(dir.Path()), killed ? 2u : 1u) << "killed: " << killed;
        TIniFile(path).WriteString("Lunark", "Top", "3");
        EXPECT_EQ(ReadFileBytes(path).substr(0, 15), "[Lunark]\nTop=3\n");
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "killed: " << killed;
    }

    TempDir dir;
    const std::string path = dir.File("lunark.ini");
    WriteFileBytes(path, "[Lunark]\nTop=1\n");
    const char* stale[] = {"lunark.ini.save-a1B2c3", "lunark.ini.save-ZZZZZZ"};
    const char* notOurs[] = {"lunark.ini.save-abc", "lunark.ini.save-abcdefg", "other.ini.save-a1B2c3",
                             "lunark.ini.save-a-b-c-", "lunark.ini.bak"};
    for (const char* name : stale) WriteFileBytes(dir.File(name), before);
    for (const char* name : notOurs) WriteFileBytes(dir.File(name), before);
    WriteFileBytes(dir.File("lunark.ini.save-LiVe00"), before);
    const int held = ::open(dir.File("lunark.ini.save-LiVe00").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a save in progress elsewhere

    TIniFile(path).WriteString("Lunark", "Top", "2");
    EXPECT_EQ(ReadFileBytes(path), "[Lunark]\nTop=2\n");
    for (const char* name : stale) EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    for (const char* name : notOurs) EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
    EXPECT_TRUE(std::filesystem::exists(dir.File("lunark.ini.save-LiVe00")));
    ::close(held);
}

// Two processes, each counting up a key fifty times (read, add one, write, all under the
// file's lock): no count may be lost.
TEST(IniFileLock, TwoProcessesChangingTheFileAtOnceLoseNothing) {
    TempDir dir;
    const std::string path = dir.File("lunark.ini");
    constexpr int kRounds = 50;
    const auto count = [&](const char* own) {
        for (int i = 0; i < kRounds; ++i) {
            TIniFile ini(path);
            ini.LockForUpdate();
            ini.WriteInteger("Count", "Total", ini.ReadInteger("Count", "Total", 0) + 1);
            ini.WriteInteger("Count", own, ini.ReadInteger("Count", own, 0) + 1);
        }
    };
    const pid_t first = test_support::StartChildProcess([&] { count("First"); });
    const pid_t second = test_support::StartChildProcess([&] { count("Second"); });
    EXPECT_TRUE(test_support::WaitForChild(first).Passed());
    EXPECT_TRUE(test_support::WaitForChild(second).Passed());
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Count", "Total", 0), 2 * kRounds);
    EXPECT_EQ(ini.ReadInteger("Count", "First", 0), kRounds);
    EXPECT_EQ(ini.ReadInteger("Count", "Second", 0), kRounds);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

}  // namespace
