// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BuildPaths.h"
#include "CommandText.h"
#include "HamlibStandIns.h"
#include "HamlibTransport.h"
#include "Location.h"
#include "PlanSettings.h"
#include "Position.h"
#include "PositionTool.h"
#include "PseudoTerminal.h"
#include "RotatorSettings.h"
#include "RotatorTracking.h"
#include "TempDir.h"
#include "Unit3.h"
#include "eme_plan.h"

namespace {

using namespace std::chrono;

TEST(PositionToolArguments, ReadsEveryOptionInBothSpellings) {
    const PositionTool::Options options = PositionTool::ParseArguments(
        {"--locator", "jo22ic", "--at=2024-02-29T23:59:59.5Z", "--az-offset", "-15", "--el-offset=+3", "--az-type",
         "M\xC2\xB2 RC2800", "--el-type=Prosistel-D combined", "--settings", "/tmp/x.ini", "--send"});
    EXPECT_EQ(options.locator, "jo22ic");
    EXPECT_EQ(options.at, sys_days{2024y / February / 29} + 23h + 59min + 59s + 500ms);
    EXPECT_EQ(options.azOffset, -15);
    EXPECT_EQ(options.elOffset, 3);
    EXPECT_EQ(options.azType, "M\xB2 RC2800");  // the program's single-byte name
    EXPECT_EQ(options.elType, "Prosistel-D combined");
    EXPECT_EQ(options.settingsFile, "/tmp/x.ini");
    EXPECT_TRUE(options.send);
    EXPECT_TRUE(PositionTool::ParseArguments({"--help"}).help);
    const PositionTool::Options hamlib = PositionTool::ParseArguments(
        {"--az-hamlib", "601,/dev/ttyUSB0,4800", "--el-hamlib=2,localhost:4533", "--list-hamlib"});
    EXPECT_EQ(hamlib.azHamlib, (HamlibRotator::Address{601, "/dev/ttyUSB0", 4800}));
    EXPECT_EQ(hamlib.elHamlib, (HamlibRotator::Address{2, "localhost:4533", 0}));
    EXPECT_TRUE(hamlib.listHamlib);
    const PositionTool::Options station = PositionTool::ParseArguments(
        {"--precise", "--target", "sun", "--lat", "-33.9", "--lon=18.4", "--height", "40"});
    EXPECT_TRUE(station.precise);
    EXPECT_EQ(station.target, pointing::Target::Sun);
    EXPECT_EQ(station.latitude, -33.9L);
    EXPECT_EQ(station.longitude, 18.4L);
    EXPECT_EQ(station.height, 40.0L);
    EXPECT_EQ(PositionTool::ParseArguments({"--target", "moon"}).target, pointing::Target::Moon);
    EXPECT_EQ(PositionTool::ParseUtcInstant("2023-03-22T12:00:00Z")->time_since_epoch(), seconds(1679486400));
}

TEST(PositionToolArguments, RejectsWhatItCannotFollow) {
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate"}, {"JO22IC"}, {"--locator"}, {"--locator", "JO2"}, {"--send=yes"},
        {"--locator", "JO22I\xC4\x86"},  // a letter Windows-1252 lacks
        {"--locator", "J022IC"}, {"--locator", "ZZ99ZZ"}, {"--locator", "JO22IY"},  // off the grid
        {"--az-offset", "12x"}, {"--az-offset", ""}, {"--az-offset", "4294967296"}, {"--el-offset", "1.5"},
        {"--az-offset", "+-5"}, {"--el-offset", "-+5"}, {"--el-offset", "++5"},
        {"--at", "2023-03-22T12:00:00"}, {"--at", "2023-02-29T12:00:00Z"}, {"--at", "2023-03-22 12:00:00Z"},
        {"--at", "2023-03-22T24:00:00Z"}, {"--at", "2023-03-22T12:00:00.Z"}, {"--at", ""},
        {"--at", "0000-12-31T23:59:59Z"}, {"--at", "10000-01-01T00:00:00Z"},
        {"--az-type", "NONE"}, {"--az-type", "M\xC2\xB3 RC2800"}, {"--az-type", "Prosistel-D combined"},
        {"--el-type", "Hy-Gain DCU-1"},
        {"--az-hamlib", "601"}, {"--az-hamlib", "6001,/dev/ttyUSB0"}, {"--el-hamlib=2"},
        {"--el-hamlib", "601,/dev/ttyUSB0,fast"}, {"--list-hamlib=yes"},
        {"--plan"}, {"--plan", "--dx", "JO2"}, {"--dx", "FN20"}, {"--plan", "--dx", "FN20", "--days", "0"},
        {"--plan", "--dx", "FN20", "--days", "367"}, {"--plan", "--dx", "FN20", "--days", "1.5"},
        {"--plan", "--dx", "FN20", "--min-el", "-1"}, {"--plan", "--dx", "FN20", "--dx-min-el", "90"},
        {"--plan", "--dx", "FN20", "--min-el", "5x"}, {"--plan", "--dx", "FN20", "--from", "2026-02-30"},
        {"--plan", "--dx", "FN20", "--from", "2026-12-07T25:00:00Z"}, {"--plan", "--dx", "FN20", "--at", "2026-12-07T00:00:00Z"},
        {"--json"}, {"--days", "2"}, {"--from", "2026-12-07"},
        {"--frequency", "0"}, {"--frequency", "ten"}, {"--plan=yes", "--dx", "FN20"},
        {"--precise=1"}, {"--target", "mars"}, {"--target", ""}, {"--lat", "91"}, {"--lat", "52,1", "--lon", "4"},
        {"--lat", "52"}, {"--lon", "4.7"}, {"--lat", "52", "--lon", "180.5"}, {"--lat", "52", "--lon", "x"},
        {"--height", "10"}, {"--lat", "52", "--lon", "4", "--height", "10000"}, {"--lat", "nan", "--lon", "4"},
    };
    // clang-format on
    for (const auto& arguments : bad) {
        SCOPED_TRACE(arguments.front() + (arguments.size() > 1 ? " " + arguments[1] : ""));
        EXPECT_THROW(PositionTool::ParseArguments(arguments), PositionTool::EUsageError);
    }
}

// Options that go with others: the refusal names the first rule broken, plan before station, in
// the words a user reads; an option that sets nothing of its own ("--days 1") goes without --plan.
TEST(PositionToolArguments, RefusesOptionsWithoutTheirCompanionsInTheirOwnWords) {
    const struct {
        std::vector<std::string> arguments;
        const char* refusal;  // empty: accepted
    } cases[] = {
        {{"--plan", "--lat", "1"}, "--plan needs --dx LOCATOR"},
        {{"--plan", "--dx", "FN20", "--send", "--lat", "1"}, "--plan goes with neither --send nor --at"},
        {{"--dx", "FN20", "--days", "2", "--lat", "1"},
         "--from, --days, --min-el and --dx-min-el go with --plan or --calendar"},
        {{"--dx", "FN20", "--json", "--lat", "1"}, "--json goes with --plan, --frequency or --calendar"},
        {{"--json", "--lat", "1"}, "--json goes with --plan, --frequency or --calendar"},
        {{"--json", "--frequency", "144", "--send"}, "--json does not go with --send"},
        {{"--dx", "FN20", "--frequency", "144", "--json"}, ""},
        {{"--dx", "FN20", "--lon", "1"}, "--dx goes with --plan, --frequency, --calendar or --sked"},
        {{"--height", "3", "--lon", "4"}, "--lat and --lon go together"},
        {{"--height", "3"}, "--height needs --lat and --lon"},
        {{"--days", "2", "--days", "1", "--min-el", "5"}, ""},
        {{"--dx", "FN20", "--frequency", "144", "--lat", "1", "--lon", "2", "--height", "3"}, ""},
        {{"--calendar", "--dx", "FN20", "--days", "60", "--json", "--mask", "90:10"}, ""},
        {{"--calendar", "--plan", "--dx", "FN20"}, "--calendar goes with neither --plan, --send nor --at"},
        {{"--calendar", "--send"}, "--calendar goes with neither --plan, --send nor --at"},
        {{"--calendar", "--mask", "90:10,90:20"}, "--mask: The horizon mask has two points at azimuth 90"},
        {{"--mask", "north"}, "--mask: The horizon mask's point 1, \"north\", is not AZ:EL, e.g. 120:15"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments[1]);
        try {
            PositionTool::ParseArguments(c.arguments);
            EXPECT_STREQ(c.refusal, "");
        } catch (const PositionTool::EUsageError& error) {
            EXPECT_STREQ(error.what(), c.refusal);
        }
    }
}

TEST(CommandText, ShowsCommandsInHexadecimalAndWithNamedControlBytes) {
    EXPECT_EQ(CommandText::HexBytes("\002AG123\r\r"), "02 41 47 31 32 33 0D 0D");
    EXPECT_EQ(CommandText::ReadableBytes("\002AG123\r\r"), "<STX>AG123<CR><CR>");
    EXPECT_EQ(CommandText::HexBytes(std::string("\0\x1B\x7F\xB2", 4)), "00 1B 7F B2");
    EXPECT_EQ(CommandText::ReadableBytes(std::string("\0\x1B\x7F\xB2", 4)), "<NUL><ESC><DEL><B2>");
}

double computedDayNumber = 0.0;

// The Moon at azimuth 123.45678, elevation 44.5 (which rounds to the even 44), whenever it is asked.
void FixedMoon(double dayNumber, long double, long double, long double& elevation, long double& azimuth) {
    computedDayNumber = dayNumber;
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
        return PositionTool::Run(arguments, dir_.File("bin/lunark-position"), out_, err_, hamlib_);
    }

    test_support::TempDir dir_;
    HamlibTransport::Axes hamlib_;  // the runs' Hamlib axes, read after each run
    std::ostringstream out_, err_;
    Position::MoonPositionFunction previousMoon_ = nullptr;
};

TEST_F(PositionToolRun, PrintsTheLabelsThePositionAndEachCommand) {
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings,
                                 "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=3\nEL_COM_NR=65\nAZoffset=10\n"
                                 "AZtype=Prosistel-D\nELtype=M\xB2 RC2800\n[Ports]\nCOM3=/dev/rotor-az\n");
    ASSERT_EQ(Run({"--settings", settings, "--el-offset", "-50"}), 0) << err_.str();
    const std::size_t firstLineEnd = out_.str().find('\n') + 1;
    EXPECT_EQ(out_.str().substr(0, firstLineEnd), "Settings: " + settings + "\n");
    EXPECT_EQ(out_.str().substr(firstLineEnd),
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

// astropy's topocentric apparent positions (get_body to AltAz, pressure 0) at 2023-03-22 12:00 UTC: the
// precise lines must be within 0.02° of them, and their whole degrees follow.
TEST_F(PositionToolRun, PreciseModeAndTheSunFollowTheStationAndNameTheBody) {
    Position::SetMoonPosition(nullptr);  // the real computation
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZtype=none\nELtype=none\n");
    struct Case {
        std::vector<std::string> options;
        const char* body;
        long double azimuth, elevation;  // astropy
        const char* rounded;
    };
    const Case cases[] = {
        {{"--precise", "--lat", "52.1", "--lon", "4.7", "--height", "10"},
         "Moon",
         170.2843L,
         39.6894L,
         "Azimuth:   170\nElevation: 40\n"},
        {{"--precise"}, "Moon", 170.2958L, 39.6861L, "Azimuth:   170\nElevation: 40\n"},  // JO22IC's centre
        {{"--target", "sun"}, "Sun", 183.7493L, 38.4912L, "Azimuth:   184\nElevation: 38\n"},
        {{"--target=sun", "--precise", "--lat=-33.9", "--lon", "18.4", "--height", "40"},
         "Sun",
         332.1796L,
         52.0820L,
         "Azimuth:   332\nElevation: 52\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"--settings", settings, "--at", "2023-03-22T12:00:00Z"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(c.options.back());
        ASSERT_EQ(Run(arguments), 0) << err_.str();
        std::istringstream lines(out_.str());
        std::string settingsLine, azimuthLine, elevationLine, azimuthValue, elevationValue;
        std::getline(lines, settingsLine);
        EXPECT_EQ(settingsLine, "Settings: " + settings);
        std::getline(lines, azimuthLine);
        std::getline(lines, elevationLine);
        EXPECT_EQ(azimuthLine + "\n" + elevationLine + "\n", c.rounded);
        std::getline(lines, azimuthValue);
        std::getline(lines, elevationValue);
        // "Sun azimuth:   " and "Sun elevation: ": the values line up as the Moon's do.
        const std::string azimuthPrefix = std::string(c.body) + " azimuth:   ";
        const std::string elevationPrefix = std::string(c.body) + " elevation: ";
        ASSERT_EQ(azimuthValue.substr(0, azimuthPrefix.size()), azimuthPrefix);
        ASSERT_EQ(elevationValue.substr(0, elevationPrefix.size()), elevationPrefix);
        EXPECT_NEAR(std::stold(azimuthValue.substr(azimuthPrefix.size())), c.azimuth, 0.02L);
        EXPECT_NEAR(std::stold(elevationValue.substr(elevationPrefix.size())), c.elevation, 0.02L);
    }
    // Station coordinates mean nothing outside precise mode: refused rather than ignored.
    EXPECT_EQ(Run({"--settings", settings, "--lat", "52", "--lon", "4"}), 2);
    EXPECT_NE(err_.str().find("precise"), std::string::npos);
}

TEST_F(PositionToolRun, SendsOnceOnRequestAndExitsWithTheDocumentedStatus) {
    tracking_test::PseudoTerminal azimuthLine;
    const std::string settings = dir_.File("station.ini");
    const std::string noLocator = dir_.File("empty.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\n[Ports]\nCOM1=" +
                                               azimuthLine.Path() + "\nCOM2=" + dir_.File("gone") + "\n");
    test_support::WriteFileBytes(noLocator, "[Lunark]\nLocator=\n");
    const std::string yaesu = "YAESU GS-232A 9600bd";
    EXPECT_EQ(Run({"--settings", settings, "--az-type", yaesu, "--el-type", "none", "--send"}), 0) << err_.str();
    EXPECT_EQ(azimuthLine.Received(5), "M123\r");
    const std::string sent = out_.str();
    EXPECT_EQ(sent.substr(sent.find("  4D 31 32 33 0D")),
              "  4D 31 32 33 0D    M123<CR>\n"
              "Elevation rotator: \"none\": nothing is sent\n"
              "Azimuth result: sent\n"
              "Elevation result: nothing is sent\n");
    EXPECT_EQ(Run({"--settings", settings, "--az-type", "none", "--el-type", yaesu, "--send"}), 1);
    EXPECT_EQ(err_.str(), "lunark-position: Comms error - COM2\n");  // as it was
    const std::string failed = out_.str();
    EXPECT_EQ(failed.substr(failed.find("Azimuth result")),
              "Azimuth result: nothing is sent\nElevation result: not found (" + dir_.File("gone") + ")\n");
    EXPECT_EQ(Run({"--settings", settings, "--az-type", "none", "--el-type", yaesu}), 0);  // no --send
    EXPECT_EQ(out_.str().find("result:"), std::string::npos);

    for (const std::string& file : {dir_.File("missing.ini"), noLocator, dir_.File("station.conf")}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(Run({"--settings", file}), 2);
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str().rfind("lunark-position: ", 0), 0u) << err_.str();
    }
    EXPECT_EQ(Run({"--settings", noLocator, "--locator", "JO22"}), 0) << err_.str();

    // A locator off the grid is refused, and the message names the character at fault.
    test_support::WriteFileBytes(noLocator, "[Lunark]\nLocator=J022IC\n");
    EXPECT_EQ(Run({"--settings", noLocator}), 2);
    EXPECT_NE(err_.str().find("\"0\" as character 2, which must be a field letter A-R"), std::string::npos)
        << err_.str();
    EXPECT_EQ(Run({"--locator", "jo22iy"}), 2);
    EXPECT_NE(err_.str().find("\"y\" as character 6, which must be a sub-square letter A-X"), std::string::npos)
        << err_.str();
}

// The protocol options' help lists every name of the table, as an operator types it.
// JO22IC and FN20XR, 2026-12-07 from noon UTC, three days: the Moon, waning past last quarter, sets for
// the Netherlands in the early afternoon while it stands over the eastern United States.
TEST_F(PositionToolRun, PlansMutualWindowsAsLinesOrJson) {
    ASSERT_EQ(Run({"--locator", "JO22IC", "--plan", "--dx", "FN20XR", "--from", "2026-12-07T12:00:00Z", "--days", "3"}),
              0)
        << err_.str();
    std::istringstream lines(out_.str());
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("Settings: ")) << line;
    std::vector<std::string> windows;
    while (std::getline(lines, line)) windows.push_back(line);
    ASSERT_EQ(windows.size(), 3u) << out_.str();
    const std::regex window(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)(\*?)  (\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)  (\d+))");
    for (std::size_t i = 0; i < windows.size(); ++i) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(windows[i], parts, window)) << windows[i];
        EXPECT_EQ(parts[2] == "*", i == 0) << windows[i];  // the first already running at noon
        const auto start = PositionTool::ParseUtcInstant(parts[1].str()),
                   end = PositionTool::ParseUtcInstant(parts[3].str());
        EXPECT_EQ(std::stoll(parts[4]), duration_cast<minutes>(*end - *start).count());
        EXPECT_EQ(parts[1].str().substr(0, 10),
                  "2026-12-" + std::to_string(7 + i).insert(0, 2 - std::to_string(7 + i).size(), '0'));
    }
    EXPECT_EQ(windows[0].substr(0, 21), "2026-12-07T12:00:00Z*");

    ASSERT_EQ(Run({"--locator", "JO22IC", "--plan", "--dx", "FN20XR", "--from", "2026-12-07", "--json"}), 0)
        << err_.str();
    EXPECT_TRUE(out_.str().starts_with("[\n  {\"start\": \"2026-12-07T")) << out_.str();
    EXPECT_TRUE(out_.str().ends_with("}\n]\n")) << out_.str();
    EXPECT_NE(out_.str().find("\"minutes\": "), std::string::npos);
    EXPECT_NE(out_.str().find("\"dx_max_el\": "), std::string::npos);
    // No mutual window when the DX station is on the other side of the Earth.
    ASSERT_EQ(
        Run({"--locator", "JO22IC", "--plan", "--dx", "RE78", "--from", "2026-12-07", "--json", "--min-el", "30"}), 0);
    EXPECT_EQ(out_.str(), "[]\n");
}

// The calendar: 30 days unless told, a header and a line per day with its columns two blanks apart, DX
// stations and frequency from [Plan]; JSON with the same fields; a mask in the file or on the command line
// shortens the hours, an empty --mask changes nothing, and a broken mask in the file is named, not used.
TEST_F(PositionToolRun, CalendarListsTheDaysAsColumnsOrJsonAndFollowsTheMask) {
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\n[Plan]\nDX=FN20XR PM95VR\n");
    ASSERT_EQ(Run({"--settings", settings, "--calendar", "--from", "2026-12-08"}), 0) << err_.str();
    std::istringstream lines(out_.str());
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(lines, line)) rows.push_back(line);
    ASSERT_EQ(rows.size(), 32u) << out_.str();  // Settings, header, 30 days
    EXPECT_TRUE(rows[1].starts_with("Date        Highest     At  Up h  h FN20XR  h PM95VR    Dec")) << rows[1];
    EXPECT_TRUE(rows[2].starts_with("2026-12-08     10.3  11:01   4.6       0.6       0.0  -26.7")) << rows[2];
    EXPECT_TRUE(rows[2].find("8.4!") != std::string::npos) << rows[2];  // the Sun within 15 degrees
    EXPECT_TRUE(rows[18].ends_with("excellent  perigee full")) << rows[18];
    EXPECT_TRUE(rows[31].starts_with("2027-01-06")) << rows[31];

    const std::vector<std::string> oneDay{"--settings", settings, "--calendar", "--from",
                                          "2026-12-08", "--days", "1",          "--json"};
    ASSERT_EQ(Run(oneDay), 0);
    const std::string plain = out_.str();
    EXPECT_TRUE(
        plain.starts_with("[\n  {\"date\": \"2026-12-08\", \"highest_el\": 10.300, \"highest_at\": "
                          "\"2026-12-08T11:00:53Z\", \"hours_up\": 4.6"))
        << plain;
    EXPECT_NE(plain.find("\"mutual_hours\": [{\"dx\": \"FN20XR\", \"hours\": 0.5"), std::string::npos) << plain;
    EXPECT_NE(plain.find("\"sun_close\": true"), std::string::npos) << plain;
    const struct {
        const char* horizon;            // the file's [Horizon] lines
        std::vector<std::string> mask;  // on the command line
        bool hidden;                    // the mask hides the Moon all day; otherwise the output is the plain one
        const char* error;
    } masks[] = {
        {"", {"--mask", ""}, false, ""},
        {"", {"--mask", "0:30"}, true, ""},
        {"Mask=0:30\n", {}, true, ""},
        {"Mask=0:300\n",
         {},
         false,
         "lunark-position: [Horizon] The horizon mask's point \"0:300\" has an elevation outside 0 to 90 degrees; no "
         "mask is used\n"},
    };
    for (const auto& m : masks) {
        SCOPED_TRACE(std::string(m.horizon) + (m.mask.empty() ? "" : m.mask[1]));
        test_support::WriteFileBytes(
            settings, "[Lunark]\nLocator=JO22IC\n[Plan]\nDX=FN20XR PM95VR\n[Horizon]\n" + std::string(m.horizon));
        std::vector<std::string> arguments = oneDay;
        arguments.insert(arguments.end(), m.mask.begin(), m.mask.end());
        ASSERT_EQ(Run(arguments), 0) << err_.str();
        if (m.hidden) {
            EXPECT_NE(out_.str().find("\"hours_up\": 0.0000"), std::string::npos) << out_.str();
        } else {
            EXPECT_EQ(out_.str(), plain);
        }
        EXPECT_EQ(err_.str(), m.error);
    }
}

// Without a window the plan says why, after the Settings line. astropy (airless, every 20 s) for the
// centres of JO22IC and RE78IR from 2026-12-20 over two days: while both have the Moon above the horizon
// it stands at most 9.33° in the Netherlands and 10.36° in New Zealand.
TEST_F(PositionToolRun, APlanWithoutAWindowSaysWhy) {
    const struct {
        std::vector<std::string> options;
        const char* reason;
    } cases[] = {
        {{"--dx", "RE78IR", "--from", "2026-12-20", "--days", "2"},
         "No window with RE78IR in 2 days: while both see the Moon it stands at most 9.3\xC2\xB0 here and "
         "10.4\xC2\xB0 there"},
        {{"--dx", "FN20XR", "--from", "2026-12-07", "--dx-min-el", "89"},
         "No window with FN20XR in 1 day: the Moon never rises above 89.0\xC2\xB0 there"},
        {{"--dx", "FN20XR", "--from", "2026-12-07", "--min-el", "88.5", "--dx-min-el", "89"},
         "No window with FN20XR in 1 day: the Moon never rises above 88.5\xC2\xB0 here nor above 89.0\xC2\xB0 there"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"--locator", "JO22IC", "--plan"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Run(arguments), 0) << err_.str();
        EXPECT_EQ(out_.str(), "Settings: none, defaults used\n" + std::string(c.reason) + "\n");
    }
}

// With a frequency each window gives its echo and DX Doppler at its start, middle and end. astropy for the
// centres of JO22IC and FN20XR at 1296 MHz, the window of 2026-12-14 16:28:08 to 20:09:19 UTC: echo +3.6,
// -998.2, -1701.8 Hz; DX +1531.4, +672.6, -257.8 Hz.
TEST_F(PositionToolRun, APlanWithAFrequencyGivesEachWindowsDoppler) {
    const std::vector<std::string> arguments = {"--locator", "JO22IC",     "--plan",      "--dx", "FN20XR",
                                                "--from",    "2026-12-14", "--frequency", "1296"};
    const double echo[] = {3.6, -998.2, -1701.8}, dx[] = {1531.4, 672.6, -257.8};
    ASSERT_EQ(Run(arguments), 0) << err_.str();
    const std::regex line(R"([^]*\n2026-12-14T16:28:\d\dZ  2026-12-14T20:09:\d\dZ  221  )"
                          R"(echo ([+-]\d+)/([+-]\d+)/([+-]\d+) Hz  DX ([+-]\d+)/([+-]\d+)/([+-]\d+) Hz\n)");
    std::smatch parts;
    const std::string text = out_.str();
    ASSERT_TRUE(std::regex_match(text, parts, line)) << text;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(std::stoi(parts[1 + i]), echo[i], 2.0) << i;
        EXPECT_NEAR(std::stoi(parts[4 + i]), dx[i], 2.0) << i;
    }
    std::vector<std::string> json = arguments;
    json.push_back("--json");
    ASSERT_EQ(Run(json), 0) << err_.str();
    const std::regex arrays(
        R"([^]*"max_el": [\d.]+, "dx_max_el": [\d.]+, "echo_doppler_hz": \[(-?\d+), (-?\d+), (-?\d+)\], )"
        R"("dx_doppler_hz": \[(-?\d+), (-?\d+), (-?\d+)\]\}\n\]\n)");
    const std::string jsonText = out_.str();
    ASSERT_TRUE(std::regex_match(jsonText, parts, arrays)) << jsonText;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(std::stoi(parts[1 + i]), echo[i], 2.0) << i;
        EXPECT_NEAR(std::stoi(parts[4 + i]), dx[i], 2.0) << i;
    }
}

// At a frequency: the Doppler shifts, the path loss and the echo delay before the rotators; with a DX
// station its Doppler, and the path's figures after the rotators in the worked example's numbers
// (JO22IC and FN20XR at 3 cm: spreads 55.9 and 97.9 Hz within 2 %); --json gives the same figures as
// one object.
TEST_F(PositionToolRun, AddsThePathsFiguresAtAFrequencyAsLinesAndJson) {
    const std::vector<std::string> arguments = {
        "--locator", "JO22IC", "--dx", "FN20XR", "--at", "2026-12-21T00:00:00Z", "--frequency", "10368"};
    ASSERT_EQ(Run(arguments), 0) << err_.str();
    const std::regex lines(
        "[^]*\nEcho Doppler: [+-]\\d+ Hz\nDX Doppler: [+-]\\d+ Hz\n"
        "Path loss: \\d\\.\\d dB \\(relative to perigee\\)\nEcho delay: 2\\.\\d{3} s\nAzimuth rotator:[^]*"
        "\nElevation rotator:[^]*\nSpread: (\\d+\\.\\d) Hz\nDX spread: (\\d+\\.\\d) Hz\n"
        "Polarisation offset: ([+-]\\d+\\.\\d)\xC2\xB0\nNon-reciprocity: (\\d+\\.\\d) dB\n"
        "Sun\xE2\x80\x93Moon angle: (\\d+\\.\\d\\d)\xC2\xB0\nDoppler rate: ([+-]\\d+\\.\\d\\d) Hz/s\n"
        "Semi-diameter: (0\\.\\d{3})\xC2\xB0\nSky temperature: (\\d+) K\nDegradation: (-?\\d+\\.\\d) dB\n");
    std::smatch text;
    const std::string printed = out_.str();
    ASSERT_TRUE(std::regex_match(printed, text, lines)) << printed;
    EXPECT_NEAR(std::stod(text[1]), 55.9, 0.02 * 55.9);
    EXPECT_NEAR(std::stod(text[2]), 97.9, 0.02 * 97.9);
    std::vector<std::string> json = arguments;
    json.push_back("--json");
    ASSERT_EQ(Run(json), 0) << err_.str();
    const std::string object = out_.str();
    const char* keys[] = {"spread_hz",          "dx_spread_hz",      "polarisation_offset_deg",
                          "non_reciprocity_db", "sun_moon_deg",      "doppler_rate_hz_s",
                          "semi_diameter_deg",  "sky_temperature_k", "degradation_db"};
    ASSERT_EQ(object.front(), '{') << object;
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        std::smatch value;
        ASSERT_TRUE(std::regex_search(object, value, std::regex(std::string("\"") + keys[i] + "\": (-?[0-9.]+)[,}]")))
            << keys[i] << " in " << object;
        // The polarisation offset has two decimals in JSON, one on its line.
        EXPECT_NEAR(std::stod(value[1]), std::stod(text[1 + i]), i == 2 ? 0.051 : 1e-9) << keys[i];
    }
    ASSERT_EQ(Run({"--locator", "JO22IC", "--at", "2026-12-07T12:00:00Z", "--frequency", "1296"}), 0) << err_.str();
    EXPECT_NE(out_.str().find("\nEcho Doppler: "), std::string::npos);
    EXPECT_EQ(out_.str().find("DX Doppler"), std::string::npos);
}

// With exact station coordinates, from the settings file or the command line, the Doppler is the one of
// that place, not of the locator's. astropy (tests/astro/data/plan_range_rates.csv, first row): at
// 63.4582 S 159.9775 W on 2034-10-10 18:51:59 UTC the Moon approaches at 94.1339 m/s, so the echo comes
// back 2 x 94.1339 / 299792458 x 1296 MHz = +813.9 Hz higher.
TEST_F(PositionToolRun, DopplerIsTheExactStationsWhenItsCoordinatesAreGiven) {
    const std::string settings = dir_.File("exact.ini");
    test_support::WriteFileBytes(settings,
                                 "[Lunark]\nLocator=JO22IC\n[Pointing]\nLatitude=-63.4582\nLongitude=-159.9775\n");
    const std::vector<std::vector<std::string>> runs = {
        {"--settings", settings},
        {"--locator", "JO22IC", "--precise", "--lat", "-63.4582", "--lon", "-159.9775"},
    };
    for (std::vector<std::string> arguments : runs) {
        arguments.insert(arguments.end(), {"--at", "2034-10-10T18:51:59Z", "--frequency", "1296"});
        ASSERT_EQ(Run(arguments), 0) << err_.str();
        const std::size_t at = out_.str().find("Echo Doppler: ");
        ASSERT_NE(at, std::string::npos) << out_.str();
        EXPECT_NEAR(std::stoi(out_.str().substr(at + 14)), 813.9, 2.0) << arguments[1];
    }
}

TEST_F(PositionToolRun, HelpListsEveryProtocolOfEachAxis) {
    EXPECT_EQ(Run({"--help"}), 0);
    const std::string help = out_.str();
    EXPECT_NE(
        help.find("  --el-offset N      whole degrees added to the elevation sent\n"
                  "  --az-type NAME     azimuth protocol: \"Hy-Gain DCU-1\", \"Prosistel-D\", \"M\xC2\xB2 RC2800\",\n"
                  "                     \"YAESU GS-232A 9600bd\", \"Hamlib\" or \"none\"\n"
                  "  --el-type NAME     elevation protocol: \"Prosistel-D\", \"Prosistel-D combined\", "
                  "\"M\xC2\xB2 RC2800\",\n"
                  "                     \"YAESU GS-232A 9600bd\", \"Hamlib\" or \"none\"\n"
                  "  --az-hamlib MODEL,DEVICE[,SPEED]\n"),
        std::string::npos)
        << help;
}

// Without --settings the tool reads the program's own file, beside it in a build, and says which.
TEST_F(PositionToolRun, NamesTheSettingsFileItReadOnItsFirstLine) {
    std::filesystem::create_directories(dir_.File("bin"));
    const std::vector<std::string> arguments = {"--locator=JO22IC", "--az-type=none", "--el-type=none"};
    ASSERT_EQ(Run(arguments), 0) << err_.str();
    EXPECT_EQ(out_.str().substr(0, out_.str().find('\n')), "Settings: none, defaults used");
    test_support::WriteFileBytes(dir_.File("bin/lunark.ini"), "[Lunark]\nLocator=JO22IC\n");
    ASSERT_EQ(Run(arguments), 0) << err_.str();
    EXPECT_EQ(out_.str().substr(0, out_.str().find('\n')), "Settings: " + dir_.File("bin/lunark.ini"));
}

// Day numbers from Python's datetime (days since 1899-12-30); the ends of the range lie far outside
// what a 64-bit count of nanoseconds reaches (1677 to 2262).
TEST_F(PositionToolRun, ComputesEveryInstantFromYear1To9999AsGiven) {
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZtype=none\nELtype=none\n");
    const std::pair<const char*, double> cases[] = {
        {"0001-01-01T00:00:00Z", -693593.0},
        {"1582-10-04T12:00:00Z", -115868.5},
        {"1677-09-21T00:12:43Z", -81183.0 + 763.0 / 86400.0},
        {"2262-04-11T23:47:17Z", 132320.0 + 85637.0 / 86400.0},
        {"9999-12-31T23:59:59.999999999Z", 2958465.0 + 86399999.0 / 86400000.0},  // cut to the millisecond
    };
    for (const auto& [at, dayNumber] : cases) {
        SCOPED_TRACE(at);
        computedDayNumber = 0.0;
        EXPECT_EQ(Run({"--settings", settings, "--at", at}), 0) << err_.str();
        EXPECT_DOUBLE_EQ(computedDayNumber, dayNumber);
    }
}

// A build puts both programs in one folder, so that they read one settings file, as installed.
TEST(PositionToolProgram, LiesBesideTheLunarkProgram) {
    EXPECT_EQ(std::filesystem::path(LUNARK_POSITION_PATH).parent_path(),
              std::filesystem::path(LUNARK_PROGRAM_PATH).parent_path());
}

// The Moon at 123.46/44.50 with offsets -120/-42 is 3.46/2.50 for the rotator: near the
// simulator's rest at 0/0, which it reaches in about a second.
TEST_F(PositionToolRun, MovesHamlibRotatorsAndReadsThemBack) {
    tracking_test::RotctlDaemon daemon;
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZoffset=-120\nELoffset=-42\n");
    const std::string rotator = "2," + daemon.Address();
    const std::string line = "\"Hamlib\" model 2 (Hamlib NET rotctl) at " + daemon.Address() + "\n";

    ASSERT_EQ(Run({"--settings", settings, "--az-type", "Hamlib", "--az-hamlib", rotator, "--el-type", "Hamlib",
                   "--el-hamlib", rotator, "--send"}),
              0)
        << err_.str();
    const std::string out = out_.str();
    const std::string commands =
        "Azimuth rotator:   " + line + "  rot_set_position(3.46, 2.50)    one call for both axes\n" +
        "Elevation rotator: " + line + "  rot_set_position(3.46, 2.50)    one call for both axes\n";
    // Each axis's result line, then where its rotator stands.
    EXPECT_NE(out.find(commands + "Azimuth result: sent\nAzimuth read back: "), std::string::npos) << out;
    EXPECT_NE(out.find("\nElevation result: sent\nElevation read back: "), std::string::npos) << out;
    EXPECT_EQ(err_.str(), "");
    double azimuth = 0, elevation = 0;
    for (int tries = 0; tries < 100 && !(daemon.ReadWithRotctl(azimuth, elevation) && std::abs(azimuth - 3.46) < 0.005);
         ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NEAR(azimuth, 3.46, 0.005);
    EXPECT_NEAR(elevation, 2.50, 0.005);

    // Only the elevation on Hamlib: the azimuth stays where the rotator is.
    ASSERT_EQ(Run({"--settings", settings, "--el-type", "Hamlib", "--el-hamlib", rotator, "--el-offset", "-43"}), 0);
    EXPECT_NE(out_.str().find("Elevation rotator: " + line + "  rot_set_position(as it stands, 1.50)\n"),
              std::string::npos)
        << out_.str();

    daemon.Kill();
    EXPECT_EQ(
        Run({"--settings", settings, "--az-type", "Hamlib", "--az-hamlib", rotator, "--el-type", "none", "--send"}), 1);
    EXPECT_EQ(err_.str(), "lunark-position: Comms error - " + daemon.Address() + "\n");
    EXPECT_EQ(out_.str().find("read back"), std::string::npos);
    EXPECT_NE(out_.str().find("Azimuth result: "), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("Elevation result: nothing is sent\n"), std::string::npos) << out_.str();

    ASSERT_EQ(Run({"--list-hamlib"}), 0);
    EXPECT_EQ(out_.str().rfind("1\tHamlib\tDummy\n2\tHamlib\tNET rotctl\n", 0), 0u);
    EXPECT_NE(out_.str().find("\n601\tYaesu\tGS-232A\n"), std::string::npos);
}

TEST(PositionToolProgram, AnswersHelpAndRefusesBadArguments) {
    for (const auto& [arguments, status, output] :
         {std::tuple{"--help", 0, "Usage: lunark-position"}, std::tuple{"--bogus", 2, ""},
          std::tuple{"--locator J022IC", 2, ""}, std::tuple{"--az-offset +-5", 2, ""},
          std::tuple{"--locator JO22IC --at 0001-01-01T00:00:00Z --az-type none --el-type none", 0, "Settings: "},
          std::tuple{"--locator JO22IC --at 9999-12-31T23:59:59Z --az-type none --el-type none", 0, "Settings: "}}) {
        SCOPED_TRACE(arguments);
        FILE* pipe = ::popen((std::string(LUNARK_POSITION_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r");
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

namespace {

// The Moon over QF56OD on 6-7 December 2026 (astropy, topocentric): it rises at 16:54 UTC in
// azimuth 116.4, is at 90.5 at 20:30:16 and 90.0 at 20:34, passes north between 00:06 (0.63) and 00:07 (359.43),
// sets at 07:27; at 12:00 on the 7th it stands at 188.0, -31.8 and next rises at 17:33 in 120.2.
// At 00:00 its elevation is 79.1.
TEST_F(PositionToolRun, PointsAsTheRotatorOptionsSay) {
    Position::SetMoonPosition(nullptr);  // the Moon as the program computes it
    const std::string settings = dir_.File("qf56od.ini");
    test_support::WriteFileBytes(settings,
                                 "[Lunark]\nLocator=QF56OD\nAZtype=YAESU GS-232A 9600bd\n"
                                 "ELtype=YAESU GS-232A 9600bd\n");
    const struct {
        const char* what;
        std::vector<std::string> options;
        const char* azimuthLine;
        const char* elevationLine;
        const char* passLine;  // the start of the pass line, or "" when there is none
    } cases[] = {
        {"a stop at north", {"--at", "2026-12-07T00:06:00Z"}, "  4D 30 30 31 0D    M001<CR>\n", "W001 0", ""},
        {"the overlap takes the pass on past north",
         {"--at", "2026-12-07T00:06:00Z", "--az-range", "0-450"},
         "  4D 33 36 31 0D    M361<CR>\n",
         "W361 0",
         "Pass on 0-450: 2026-12-06 16:5"},
        {"the pass that instant belongs to swings from 91 to 450 at 20:31, the first minute below 90.5",
         {"--at", "2026-12-07T00:07:00Z", "--az-range", "0-450"},
         "M359<CR>",
         "W359 0",
         "swings through its stop at 2026-12-06 20:31 UTC, from 91\u00b0 to 450\u00b0 (359\u00b0 clockwise)\n"},
        {"540 holds it whole",
         {"--at", "2026-12-07T00:06:00Z", "--az-range=0-540"},
         "M361<CR>",
         "W361 0",
         "held whole on the upper turn"},
        {"the elevation range holds it at the top",
         {"--at", "2026-12-07T00:00:00Z", "--el-range", "5-60"},
         "M008<CR>",
         "W008 060",
         ""},
        {"follow below the horizon", {"--at", "2026-12-07T12:00:00Z"}, "M188<CR>", "W188 000", ""},
        {"park", {"--at", "2026-12-07T12:00:00Z", "--below-horizon", "park:180,10"}, "M180<CR>", "W180 010", ""},
        {"wait at the rise",
         {"--at", "2026-12-07T12:00:00Z", "--below-horizon", "wait", "--el-range", "3-85"},
         "M120<CR>",
         "W120 003",
         ""},
        {"wait on the overlap's upper turn",
         {"--at", "2026-12-07T12:00:00Z", "--below-horizon", "wait", "--az-range", "0-540"},
         "M480<CR>",
         "W480 000",
         "Pass on 0-540: 2026-12-07 17:3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> arguments{"--settings", settings};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Run(arguments), 0) << err_.str();
        const std::string out = out_.str();
        EXPECT_NE(out.find(c.azimuthLine), std::string::npos) << out;
        EXPECT_NE(out.find(c.elevationLine), std::string::npos) << out;
        if (*c.passLine != '\0') {
            EXPECT_NE(out.find(c.passLine), std::string::npos) << out;
        } else {
            EXPECT_EQ(out.find("Pass on"), std::string::npos) << out;
        }
    }
}

TEST_F(PositionToolRun, RefusesRotatorOptionsItCannotFollow) {
    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"--az-range", "0-541"},
                                                          {"--az-range", "0-359"},
                                                          {"--az-range", "450"},
                                                          {"--el-range", "60-5"},
                                                          {"--el-range", "0-200"},
                                                          {"--below-horizon", "park"},
                                                          {"--below-horizon", "park:10"},
                                                          {"--below-horizon", "sleep"},
                                                          {"--below-horizon", "park:400,10"}}) {
        SCOPED_TRACE(option + " " + value);
        EXPECT_EQ(Run({option, value}), 2);
        EXPECT_NE(err_.str().find(option + ": \"" + value + "\""), std::string::npos) << err_.str();
    }
    EXPECT_EQ(Run({"--help"}), 0);
    for (const char* option : {"--az-range 0-N", "--el-range MIN-MAX", "--below-horizon P"})
        EXPECT_NE(out_.str().find(std::string("\n  ") + option + " "), std::string::npos) << option;
}

// The call printed for a Hamlib axis is the one sent (Hamlib's simulated rotator takes it); the
// Moon over QF56OD as in PointsAsTheRotatorOptionsSay: at 00:06 azimuth 0.63, held on the upper
// turn of 0-540 unrounded; at 00:00 elevation 79.1; at 12:00 below the horizon.
TEST_F(PositionToolRun, PrintsTheHamlibCallItSends) {
    Position::SetMoonPosition(nullptr);
    const std::string settings = dir_.File("qf56od.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=QF56OD\nAZtype=Hamlib\nELtype=Hamlib\n");
    // One rotator under two names: a device and a link to it.
    const std::string device = dir_.File("rotator"), link = dir_.File("rotator-by-id");
    test_support::WriteFileBytes(device, "");
    std::filesystem::create_symlink(device, link);
    const struct {
        std::vector<std::string> options;
        const char* printed;  // part of the call
    } cases[] = {
        {{"--at", "2026-12-07T12:00:00Z", "--below-horizon", "park:10,20"}, "(10.00, 20.00)"},
        {{"--at", "2026-12-07T00:00:00Z", "--el-range", "0-5"}, ", 5.00)"},
        {{"--at", "2026-12-07T00:06:00Z", "--az-range", "0-540"}, "upper turn"},
        {{"--at", "2026-12-07T12:00:00Z", "--az-hamlib", "1," + device, "--el-hamlib", "1," + link},
         "rot_set_position("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        std::vector<std::string> arguments{"--settings", settings, "--az-hamlib", "1,", "--el-hamlib", "1,", "--send"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Run(arguments), 0) << err_.str();
        const std::optional<HamlibTransport::AxisResult> result = hamlib_.LastResult(Protocols::Axis::kAzimuth);
        ASSERT_TRUE(result && result->result.sent) << out_.str();
        char sent[96];
        std::snprintf(sent, sizeof sent, "rot_set_position(%.2f, %.2f)", result->result.sent->azimuth,
                      result->result.sent->elevation);
        EXPECT_NE(out_.str().find(std::string("  ") + sent + "    one call for both axes\n"), std::string::npos)
            << sent << "\n"
            << out_.str();
        std::string printed = c.printed;
        if (printed == "upper turn") {  // the Moon's unrounded azimuth a turn further
            const std::size_t at = out_.str().find("Moon azimuth:");
            ASSERT_NE(at, std::string::npos);
            char turned[32];
            std::snprintf(turned, sizeof turned, "(%.2f,", std::stod(out_.str().substr(at + 13)) + 360);
            printed = turned;
        }
        EXPECT_NE(std::string(sent).find(printed), std::string::npos) << sent;
    }
}

// Several DX stations, a device-less simulated rotator, a target in capitals, a plan at the end of
// year 9999, a line speed for a rotator on the network.
TEST_F(PositionToolRun, TakesWhatTheCommandLineOnceLeftOut) {
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZtype=none\nELtype=none\n");
    const std::vector<std::string> plan{"--settings", settings, "--plan", "--from", "2026-12-07", "--days", "3"};
    std::vector<std::string> twoDx = plan;
    twoDx.insert(twoDx.end(), {"--dx", "FN20XR", "--dx", "IO91WM"});
    ASSERT_EQ(Run(twoDx), 0) << err_.str();
    const std::string both = out_.str();
    EXPECT_NE(both.find("  FN20XR\n"), std::string::npos) << both;
    EXPECT_NE(both.find("  IO91WM\n"), std::string::npos) << both;
    std::vector<std::string> oneDx = plan;
    oneDx.insert(oneDx.end(), {"--dx", "IO91WM"});
    ASSERT_EQ(Run(oneDx), 0);
    EXPECT_EQ(out_.str().find("IO91WM"), std::string::npos);  // one station: the lines as they were

    std::vector<std::string> nine{"--plan"};
    for (int i = 0; i < 9; ++i) nine.insert(nine.end(), {"--dx", "FN20"});
    EXPECT_EQ(Run(nine), 2);
    EXPECT_NE(err_.str().find("at most 8"), std::string::npos) << err_.str();

    EXPECT_EQ(Run({"--settings", settings, "--plan", "--dx", "FN20XR", "--from", "9999-12-30", "--days", "366"}), 0);
    EXPECT_EQ(out_.str().find("10000-"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("\n9999-12-3"), std::string::npos) << out_.str();

    EXPECT_EQ(Run({"--settings", settings, "--target", "SUN", "--az-type", "Hamlib", "--az-hamlib", "1,"}), 0)
        << err_.str();
    EXPECT_NE(out_.str().find("\nSun azimuth:"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"--az-type", "Hamlib", "--az-hamlib", "601,"}), 2);  // a serial model needs its line

    EXPECT_EQ(PositionTool::ParseArguments({"--el-hamlib", "2,localhost:4533,9600"}).elHamlib,
              (HamlibRotator::Address{2, "localhost:4533", 0}));
    EXPECT_EQ(Run({"--settings", settings, "--el-hamlib", "2,localhost:4533,9600"}), 0);
    EXPECT_NE(err_.str().find("line speed 9600 is ignored"), std::string::npos) << err_.str();
}

// The number printed after "LABEL: " on a line of its own; -1 when there is none.
long long Printed(const std::string& out, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(out, match, std::regex("\n" + label + ": (-?[0-9]+)\n"))) return -1;
    return std::stoll(match[1].str());
}

// Full correction for the DX on 10368.1 MHz behind a high-side 10512 MHz oscillator: the receive
// frequency is the sked plus the home-to-DX Doppler of the Plan page, the transmit frequency the sked
// less it, the dial at LO - air; --send tunes Hamlib's simulated rig there and reads it back. Without a
// DX station anywhere the mode cannot be worked out, and nothing is sent.
TEST_F(PositionToolRun, PrintsTheRadiosFrequenciesAndTunesTheRig) {
    const std::string settings = dir_.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZtype=none\nELtype=none\n");
    ASSERT_EQ(Run({"--settings", settings, "--at", "2026-12-07T12:00:00Z", "--sked", "10368.1", "--doppler-mode",
                   "Full for the DX", "--dx", "FN20XR", "--lo", "-10512", "--rig", "1,", "--send"}),
              0)
        << err_.str();
    const std::string text = out_.str();
    const double day = Location::DayNumber(sys_days{December / 7 / 2026} + 12h);
    const long double shift =
        eme_plan::DxDoppler(day, PlanSettings::StationOf("JO22IC"), PlanSettings::StationOf("FN20XR"), 10368.1e6L);
    EXPECT_NEAR(Printed(text, "Receive"), 10368100000 + shift, 1) << text;
    EXPECT_NEAR(Printed(text, "Transmit"), 10368100000 - shift, 1) << text;
    EXPECT_EQ(Printed(text, "Rig receive"), 10512000000 - Printed(text, "Receive"));
    EXPECT_EQ(Printed(text, "Rig transmit"), 10512000000 - Printed(text, "Transmit"));
    EXPECT_NE(text.find("\nRadio result: set\nRadio read back: " + std::to_string(Printed(text, "Rig receive")) + ' ' +
                        std::to_string(Printed(text, "Rig transmit")) + '\n'),
              std::string::npos)
        << text;

    EXPECT_EQ(Run({"--settings", settings, "--sked", "10368.1", "--doppler-mode", "full for the DX", "--rig", "1,",
                   "--send"}),
              1);
    EXPECT_EQ(out_.str().find("Radio result"), std::string::npos);
    EXPECT_NE(err_.str().find("needs a DX station"), std::string::npos) << err_.str();
}

}  // namespace
