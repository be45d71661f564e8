#include "PositionTool.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "Position.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;

TEST(PositionToolArguments, ReadsEveryOptionInBothSpellings) {
    const PositionTool::Options options = PositionTool::ParseArguments(
        {"--locator", "jo22ic", "--at=2023-03-22T12:00:00Z", "--az-offset", "-15", "--el-offset=+3",
         "--az-type", "M\xC2\xB2 RC2800", "--el-type=Prosistel-D combined", "--settings", "/tmp/x.ini", "--send"});
    EXPECT_EQ(options.locator, "jo22ic");
    ASSERT_TRUE(options.at.has_value());
    EXPECT_EQ(duration_cast<seconds>(options.at->time_since_epoch()).count(), 1679486400);
    EXPECT_EQ(options.azOffset, -15);
    EXPECT_EQ(options.elOffset, 3);
    EXPECT_EQ(options.azType, "M\xB2 RC2800");  // the program's own single-byte name
    EXPECT_EQ(options.elType, "Prosistel-D combined");
    EXPECT_EQ(options.settingsFile, "/tmp/x.ini");
    EXPECT_TRUE(options.send);
    EXPECT_FALSE(options.help);
    EXPECT_TRUE(PositionTool::ParseArguments({"--help"}).help);
}

TEST(PositionToolArguments, RejectsWhatItCannotFollow) {
    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate"},
        {"JO22IC"},
        {"--locator"},
        {"--locator", "JO2"},
        {"--locator", "JO22I\xC4\x86"},  // a letter Windows-1252 lacks
        {"--az-offset", "12x"},
        {"--az-offset", ""},
        {"--az-offset", "4294967296"},
        {"--el-offset", "1.5"},
        {"--at", "2023-03-22T12:00:00"},   // no zone
        {"--at", "2023-02-29T12:00:00Z"},  // not a leap year
        {"--at", "2023-03-22 12:00:00Z"},
        {"--at", "2023-03-22T24:00:00Z"},
        {"--at", "2023-03-22T12:00:60Z"},
        {"--at", "2023-03-22T12:00:00.Z"},
        {"--at", "2023-03-22T12:00:00ZZ"},
        {"--at", ""},
        {"--az-type", "NONE"},
        {"--az-type", "M\xC2\xB3 RC2800"},
        {"--az-type", "Prosistel-D combined"},  // elevation only
        {"--el-type", "Hy-Gain DCU-1"},         // azimuth only
        {"--send=yes"},
    };
    for (const auto& arguments : bad) {
        SCOPED_TRACE(arguments.front() + (arguments.size() > 1 ? " " + arguments[1] : ""));
        EXPECT_THROW(PositionTool::ParseArguments(arguments), PositionTool::EUsageError);
    }
}

TEST(PositionToolInstant, ReadsUtcInstantsToTheNanosecond) {
    struct Case {
        const char* text;
        sys_time<nanoseconds> instant;
    };
    const Case cases[] = {
        {"2000-01-01T00:00:00Z", sys_days{2000y / January / 1}},
        {"2024-02-29T23:59:59.5Z", sys_days{2024y / February / 29} + 23h + 59min + 59s + 500ms},
        {"1969-07-20T20:17:40.123456789Z", sys_days{1969y / July / 20} + 20h + 17min + 40s + 123456789ns},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PositionTool::ParseUtcInstant(c.text), time_point_cast<system_clock::duration>(c.instant));
    }
}

TEST(PositionToolBytes, ShowsCommandsInHexadecimalAndWithNamedControlBytes) {
    struct Case {
        std::string bytes;
        const char* hex;
        const char* readable;
    };
    const Case cases[] = {
        {"M170\r", "4D 31 37 30 0D", "M170<CR>"},
        {"\x02" "AG123\r\r", "02 41 47 31 32 33 0D 0D", "<STX>AG123<CR><CR>"},
        {"AP1123;AM1;", "41 50 31 31 32 33 3B 41 4D 31 3B", "AP1123;AM1;"},
        {std::string("\0\x1B\x7F\xB2", 4), "00 1B 7F B2", "<NUL><ESC><DEL><B2>"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(PositionTool::HexBytes(c.bytes), c.hex);
        EXPECT_EQ(PositionTool::ReadableBytes(c.bytes), c.readable);
    }
}

// The Moon where the test wants it: azimuth 123.45678, elevation 44.5 (rounds to 44, even).
void FixedMoon(double, long double, long double, long double& elevation, long double& azimuth) {
    elevation = 44.5L;
    azimuth = 123.45678L;
}

class PositionToolRun : public ::testing::Test {
protected:
    void SetUp() override { previousMoon_ = Position::SetMoonPosition(FixedMoon); }
    void TearDown() override {
        Position::SetMoonPosition(previousMoon_);
        Unit3::ExecutablePath.clear();
    }
    int Run(std::vector<std::string> arguments) {
        out_.str("");
        err_.str("");
        return PositionTool::Run(arguments, dir_.File("bin/lunark-position"), out_, err_);
    }

    test_support::TempDir dir_;
    std::ostringstream out_;
    std::ostringstream err_;

private:
    Position::MoonPositionFunction previousMoon_ = nullptr;
};

TEST_F(PositionToolRun, PrintsTheLabelsThePositionAndEachCommand) {
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings,
                                 "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=3\nEL_COM_NR=65\nAZoffset=10\n"
                                 "AZtype=Prosistel-D\nELtype=M\xB2 RC2800\n[Ports]\nCOM3=/dev/rotor-az\n");
    ASSERT_EQ(Run({"--settings", settings, "--el-offset", "-50"}), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "Azimuth:   123\n"
              "Elevation: 44\n"
              "Moon azimuth:   123.4568\n"
              "Moon elevation: 44.5000\n"
              "Azimuth rotator:   \"Prosistel-D\" on COM3 (/dev/rotor-az) at 9600 baud, 8-N-1\n"
              "  02 41 47 31 33 33 0D 0D    <STX>AG133<CR><CR>\n"
              "  02 41 47 31 33 33 0D 0D    <STX>AG133<CR><CR>\n"
              "Elevation rotator: \"M\xC2\xB2 RC2800\" on COM65 (/dev/ttyACM0) at 9600 baud, 8-N-1\n"
              "  45 30 30 30 0D    E000<CR>\n");
    EXPECT_EQ(err_.str(), "");
}

TEST_F(PositionToolRun, SendsOnceThroughTheSerialLayerAndReportsFailure) {
    tracking_test::PseudoTerminal azimuthLine;
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\n[Ports]\nCOM1=" +
                                               azimuthLine.Path() + "\nCOM2=" + dir_.File("gone") + "\n");
    EXPECT_EQ(Run({"--settings", settings, "--az-type", "YAESU GS-232A 9600bd", "--el-type", "none", "--send"}), 0)
        << err_.str();
    EXPECT_EQ(azimuthLine.Received(5), "M123\r");

    EXPECT_EQ(Run({"--settings", settings, "--az-type", "none", "--el-type", "YAESU GS-232A 9600bd", "--send"}), 1);
    EXPECT_EQ(err_.str(), "lunark-position: Comms error - COM2\n");
    EXPECT_EQ(Run({"--settings", settings, "--az-type", "none", "--el-type", "YAESU GS-232A 9600bd"}), 0);
}

TEST_F(PositionToolRun, BadArgumentsAndMissingLocatorsEndWithStatusTwo) {
    const std::string noLocator = dir_.File("empty.ini");
    test_support::WriteFileBytes(noLocator, "[Lunark]\nLocator=\n");
    const std::vector<std::vector<std::string>> cases = {
        {"--az-offset", "x"},
        {"--settings", dir_.File("missing.ini")},
        {"--settings", noLocator},
        {"--settings", dir_.File("station.conf")},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments.back());
        EXPECT_EQ(Run(arguments), 2);
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str().rfind("lunark-position: ", 0), 0u) << err_.str();
    }
    EXPECT_EQ(Run({"--settings", noLocator, "--locator", "JO22"}), 0) << err_.str();
}

TEST(PositionToolProgram, ExitsWithTheDocumentedStatus) {
    struct Case {
        const char* arguments;
        int status;
        const char* output;
    };
    const Case cases[] = {
        {"--help", 0, "Usage: lunark-position"},
        {"--bogus", 2, ""},
        {"--locator JO22IC --at 2023-03-22T12:00:00Z --az-type none --el-type none --settings /nonexistent.ini", 2, ""},
        {"--locator JO22IC --at 2023-03-22T12:00:00Z --az-type none --el-type none", 0, "Azimuth:   "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const std::string command = std::string(LUNARK_POSITION_PATH) + " " + c.arguments + " 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        const int status = ::pclose(pipe);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_EQ(output.rfind(c.output, 0), 0u) << output;
    }
}

}  // namespace
