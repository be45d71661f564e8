// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "Location.h"
#include "StationLog.h"
#include "TempDir.h"

namespace {

using namespace std::chrono;

class StationJournal : public ::testing::Test {
protected:
    Journal::Journal journal_;
    void SetUp() override {
        previousClock_ = Location::SetClock([this] { return now_; });
    }
    void TearDown() override { Location::SetClock(previousClock_); }
    Location::Instant now_ = sys_days{2026y / December / 7} + 6h + 22min;
    Location::ClockFunction previousClock_;
    test_support::TempDir dir_;
};

TEST_F(StationJournal, StampsEachEntryInUtcAndKeepsTheNewestThousandNewestFirst) {
    const struct {
        Location::Instant at;
        const char* text;
    } stamps[] = {
        {sys_days{2026y / December / 7} + 6h + 22min, "2026-12-07 06:22:00 UTC"},
        {sys_days{2000y / January / 1} + 999ms, "2000-01-01 00:00:00 UTC"},
        {sys_days{2024y / February / 29} + 23h + 59min + 59s, "2024-02-29 23:59:59 UTC"},
        {sys_days{1969y / December / 31} + 12h, "1969-12-31 12:00:00 UTC"},
    };
    for (const auto& stamp : stamps) EXPECT_EQ(Journal::UtcDateTime(stamp.at), stamp.text);
    EXPECT_EQ(Journal::UtcTime(stamps[0].at), "06:22:00 UTC");

    const std::uint64_t revision = journal_.Revision();
    for (int i = 1; i <= 1005; ++i) {
        journal_.Add("entry " + std::to_string(i));
        now_ += 1s;
    }
    EXPECT_EQ(journal_.Revision(), revision + 1005);
    ASSERT_EQ(journal_.Entries().size(), 1000u);
    EXPECT_EQ(journal_.Entries().front().text, "entry 1005");
    EXPECT_EQ(journal_.Entries().back().text, "entry 6");
    EXPECT_EQ(Journal::Line(journal_.Entries().front()), "2026-12-07 06:38:44 UTC  entry 1005");
    const std::string text = journal_.Text();
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "2026-12-07 06:38:44 UTC  entry 1005\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1000);
}

TEST_F(StationJournal, EveryEntryGoesToTheLogAndAnUnwritableLogIsReportedOnce) {
    journal_.Log().SetPath(dir_.File("lunark.log"));
    journal_.Add("Azimuth: sent M142<CR>");
    journal_.Add("Settings: AZoffset 0 -> 10");
    EXPECT_EQ(test_support::ReadFileBytes(dir_.File("lunark.log")),
              "2026-12-07 06:22:00 UTC  Azimuth: sent M142<CR>\n"
              "2026-12-07 06:22:00 UTC  Settings: AZoffset 0 -> 10\n");

    test_support::WriteFileBytes(dir_.File("file"), "");
    journal_.Log().SetPath(dir_.File("file/lunark.log"));
    journal_.Clear();
    for (int i = 0; i < 3; ++i) journal_.Add("Elevation: sent W142 004<CR>");
    ASSERT_EQ(journal_.Entries().size(), 4u);  // three sends and one report
    int reports = 0;
    for (const Journal::Entry& entry : journal_.Entries()) {
        if (entry.text.starts_with("The log cannot be written (" + dir_.File("file"))) ++reports;
    }
    EXPECT_EQ(reports, 1);
}

}  // namespace
