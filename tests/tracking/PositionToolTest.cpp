#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "Position.h"
#include "PositionTool.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;

TEST(PositionToolArguments, ReadsEveryOptionInBothSpellings) {
    const PositionTool::Options options = PositionTool::ParseArguments(
        {"--locator", "jo22ic", "--at=2024-02-29T23:59:59.5Z", "--az-offset", "-15", "--el-offset=+3",
         "--az-type", "M\xC2\xB2 RC2800", "--el-type=Prosistel-D combined", "--settings", "/tmp/x.ini",
         "--send"});
    EXPECT_EQ(options.locator, "jo22ic");
    EXPECT_EQ(options.at, sys_days{2024y / February / 29} + 23h + 59min + 59s + 500ms);
    EXPECT_EQ(options.azOffset, -15);
    EXPECT_EQ(options.elOffset, 3);
    EXPECT_EQ(options.azType, "M\xB2 RC2800");  // the program's single-byte name
    EXPECT_EQ(options.elType, "Prosistel-D combined");
    EXPECT_EQ(options.settingsFile, "/tmp/x.ini");
    EXPECT_TRUE(options.send);
    EXPECT_TRUE(PositionTool::ParseArguments({"--help"}).help);
    EXPECT_EQ(PositionTool::ParseUtcInstant("2023-03-22T12:00:00Z")->time_since_epoch(), seconds(1679486400));
}

TEST(PositionToolArguments, RejectsWhatItCannotFollow) {
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate"}, {"JO22IC"}, {"--locator"}, {"--locator", "JO2"}, {"--send=yes"},
        {"--locator", "JO22I\xC4\x86"},  // a letter Windows-1252 lacks
        {"--az-offset", "12x"}, {"--az-offset", ""}, {"--az-offset", "4294967296"}, {"--el-offset", "1.5"},
        {"--at", "2023-03-22T12:00:00"}, {"--at", "2023-02-29T12:00:00Z"}, {"--at", "2023-03-22 12:00:00Z"},
        {"--at", "2023-03-22T24:00:00Z"}, {"--at", "2023-03-22T12:00:00.Z"}, {"--at", ""},
        {"--az-type", "NONE"}, {"--az-type", "M\xC2\xB3 RC2800"}, {"--az-type", "Prosistel-D combined"},
        {"--el-type", "Hy-Gain DCU-1"},
    };
    // clang-format on
    for (const auto& arguments : bad) {
        SCOPED_TRACE(arguments.front() + (arguments.size() > 1 ? " " + arguments[1] : ""));
        EXPECT_THROW(PositionTool::ParseArguments(arguments), PositionTool::EUsageError);
    }
}

TEST(PositionToolBytes, ShowsCommandsInHexadecimalAndWithNamedControlBytes) {
    EXPECT_EQ(PositionTool::HexBytes("\002AG123\r\r"), "02 41 47 31 32 33 0D 0D");
    EXPECT_EQ(PositionTool::ReadableBytes("\002AG123\r\r"), "<STX>AG123<CR><CR>");
    EXPECT_EQ(PositionTool::HexBytes(std::string("\0\x1B\x7F\xB2", 4)), "00 1B 7F B2");
    EXPECT_EQ(PositionTool::ReadableBytes(std::string("\0\x1B\x7F\xB2", 4)), "<NUL><ESC><DEL><B2>");
}

// The Moon at azimuth 123.45678, elevation 44.5 (which rounds to the even 44).
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
    int Run(const std::vector<std::string>& arguments) {
        out_.str("");
        err_.str("");
        return PositionTool::Run(arguments, dir_.File("bin/lunark-position"), out_, err_);
    }

    test_support::TempDir dir_;
    std::ostringstream out_, err_;
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

TEST_F(PositionToolRun, SendsOnceOnRequestAndExitsWithTheDocumentedStatus) {
    tracking_test::PseudoTerminal azimuthLine;
    const std::string settings = dir_.File("station.ini");
    const std::string noLocator = dir_.File("empty.ini");
    test_support::WriteFileBytes(
        settings, "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\n[Ports]\nCOM1=" + azimuthLine.Path() +
                      "\nCOM2=" + dir_.File("gone") + "\n");
    test_support::WriteFileBytes(noLocator, "[Lunark]\nLocator=\n");
    const std::string yaesu = "YAESU GS-232A 9600bd";
    EXPECT_EQ(Run({"--settings", settings, "--az-type", yaesu, "--el-type", "none", "--send"}), 0)
        << err_.str();
    EXPECT_EQ(azimuthLine.Received(5), "M123\r");
    EXPECT_EQ(Run({"--settings", settings, "--az-type", "none", "--el-type", yaesu, "--send"}), 1);
    EXPECT_EQ(err_.str(), "lunark-position: Comms error - COM2\n");
    EXPECT_EQ(Run({"--settings", settings, "--az-type", "none", "--el-type", yaesu}), 0);  // no --send

    for (const std::string& file : {dir_.File("missing.ini"), noLocator, dir_.File("station.conf")}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(Run({"--settings", file}), 2);
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str().rfind("lunark-position: ", 0), 0u) << err_.str();
    }
    EXPECT_EQ(Run({"--settings", noLocator, "--locator", "JO22"}), 0) << err_.str();
}

// The protocol options' help lists every name of the table, as an operator types it.
TEST_F(PositionToolRun, HelpListsEveryProtocolOfEachAxis) {
    EXPECT_EQ(Run({"--help"}), 0);
    const std::string help = out_.str();
    EXPECT_NE(help.find("  --el-offset N      whole degrees added to the elevation sent\n"
                        "  --az-type NAME     azimuth protocol: \"Hy-Gain DCU-1\", \"Prosistel-D\", \"M\xC2\xB2 RC2800\",\n"
                        "                     \"YAESU GS-232A 9600bd\" or \"none\"\n"
                        "  --el-type NAME     elevation protocol: \"Prosistel-D\", \"Prosistel-D combined\", "
                        "\"M\xC2\xB2 RC2800\",\n"
                        "                     \"YAESU GS-232A 9600bd\" or \"none\"\n"
                        "  --settings FILE    "),
              std::string::npos)
        << help;
}

TEST(PositionToolProgram, AnswersHelpAndRefusesBadArguments) {
    for (const auto& [arguments, status, output] :
         {std::tuple{"--help", 0, "Usage: lunark-position"}, std::tuple{"--bogus", 2, ""}}) {
        SCOPED_TRACE(arguments);
        FILE* pipe =
            ::popen((std::string(LUNARK_POSITION_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
        const int result = ::pclose(pipe);
        ASSERT_TRUE(WIFEXITED(result));
        EXPECT_EQ(WEXITSTATUS(result), status);
        EXPECT_EQ(text.rfind(output, 0), 0u) << text;
    }
}

}  // namespace
