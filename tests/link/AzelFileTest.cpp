// SPDX-License-Identifier: GPL-3.0-or-later
// azel.dat: its four lines, a write that a reader never sees half done, and a folder that cannot be
// written, reported once.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "AzelFile.h"
#include "Journal.h"
#include "Location.h"
#include "PlanSettings.h"
#include "RadioTracking.h"
#include "Station.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;

TEST(AzelFileTest, FourLines) {
    const struct {
        const char* what;
        Azel::Snapshot snapshot;
        const char* text;
    } cases[] = {
        // clang-format off
        // The instant, the Moon's and the Sun's azimuth and elevation, the radio, the DX Doppler and its
        // rate, the echo's Doppler and its rate.
        {"receiving, no correction",
         {sys_days{2026y / December / 7} + 6h + 2min + 3s + 900ms, 123.456, 45.04, 359.96, -12.26, {1296.1, 0, false},
          -1234.4, 12.346, 2468.6, -0.5},
         "06:02:03,123.5,45.0,Moon\n06:02:03,0.0,-12.3,Sun\n06:02:03,0.0,0.0,Source\n"
         "1296.100,-1234,12.35,2469,-0.50,0, R\n"},
        {"transmitting with a correction",
         {sys_days{2026y / December / 7} + 23h + 59min + 59s, 360.0, -0.04, 7.5, 89.96, {10368.1, -20345.6, true},
          0, 0, -30123, 3},
         "23:59:59,0.0,0.0,Moon\n23:59:59,7.5,90.0,Sun\n23:59:59,0.0,0.0,Source\n"
         "10368.100,0,0.00,-30123,3.00,-20346, T\n"},
        // clang-format on
    };
    for (const auto& c : cases) EXPECT_EQ(Azel::Text(c.snapshot), c.text) << c.what;
}

// A new file replaces the old one whole: no temporary file is left, and a folder that cannot be
// written leaves the old file as it was.
TEST(AzelFileTest, WrittenWholeOrNotAtAll) {
    test_support::TempDir dir;
    const std::string path = dir.File("azel.dat");
    std::string problem;
    ASSERT_TRUE(Azel::WriteWhole(path, "first\n", problem)) << problem;
    ASSERT_TRUE(Azel::WriteWhole(path, "second\n", problem)) << problem;
    EXPECT_EQ(test_support::ReadFileBytes(path), "second\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_FALSE(Azel::WriteWhole(dir.File("no such folder/azel.dat"), "x", problem));
    EXPECT_NE(problem.find("no such folder"), std::string::npos) << problem;
}

// Written every second from the settings in force: the plan's frequency until the radio settings
// applied turn the radio on with a sked frequency, whatever the file says meanwhile. A path that
// cannot be written goes into the journal once, however often it fails.
TEST(AzelFileTest, AFolderThatCannotBeWrittenIsReportedOnce) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    Unit3::Locator = "JO22IC";
    test_support::WriteFileBytes(dir.File("lunark.ini"), "[Plan]\nFrequency=50\n[Radio]\nEnabled=1\nSked=28\n");
    const auto previous = Location::SetClock([] { return sys_days{2023y / March / 22} + 12h + 30s; });
    Journal::Journal journal;
    RadioTracking::Tracker tracker(journal);
    AzelFile file(tracker, journal);
    PlanSettings::Settings plan;
    plan.frequencyMhz = 432.065L;
    file.UsePlan(plan);
    file.SetPath(dir.File("azel.dat"));
    const std::string text = test_support::ReadFileBytes(dir.File("azel.dat"));
    EXPECT_TRUE(text.starts_with("12:00:30,")) << text;
    EXPECT_NE(text.find("\n432.065,0,0.00,"), std::string::npos) << text;  // no DX station: DxDop 0
    EXPECT_TRUE(text.ends_with(",0, R\n")) << text;
    RadioSettings::Settings radio;
    radio.enabled = true;
    radio.skedHz = 10368100000;
    tracker.Use(radio, PlanSettings::StationOf("JO22IC"), "");  // no rig: on, not driven
    EXPECT_TRUE(file.WriteNow());
    EXPECT_NE(test_support::ReadFileBytes(dir.File("azel.dat")).find("\n10368.100,0,0.00,"), std::string::npos);
    // The Moon where the station window shows it, which is where Lunark points.
    const Station::TargetStatus moon = Station::TargetNow({});
    char moonLine[64];
    std::snprintf(moonLine, sizeof moonLine, "12:00:30,%.1f,%.1f,Moon\n", static_cast<double>(moon.azimuth),
                  static_cast<double>(moon.elevation));
    EXPECT_TRUE(text.starts_with(moonLine)) << text << moonLine;

    file.SetPath(dir.File("missing/azel.dat"));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(file.WriteNow());
    int reports = 0;
    for (const Journal::Entry& entry : journal.Entries()) reports += entry.text.starts_with("azel.dat not written: ");
    EXPECT_EQ(reports, 1);
    EXPECT_NE(file.Problem().find("missing"), std::string::npos);
    Location::SetClock(previous);
}

}  // namespace
