// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "Location.h"
#include "PlanSettings.h"
#include "PositionTool.h"
#include "TempDir.h"
#include "Unit3.h"
#include "eme_plan.h"

namespace {

long long Printed(const std::string& out, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(out, match, std::regex("\n" + label + ": (-?[0-9]+)\n"))) return -1;
    return std::stoll(match[1].str());
}

// Full correction for the DX on 10368.1 MHz behind a high-side 10512 MHz oscillator: the receive
// frequency is the sked plus the home-to-DX Doppler of the Plan page, the transmit frequency the sked
// less it, the dial at LO - air; --send tunes Hamlib's simulated rig there and reads it back.
TEST(PositionToolRadio, PrintsTheModesFrequenciesAndTunesTheRig) {
    test_support::TempDir dir;
    const std::string settings = dir.File("station.ini");
    test_support::WriteFileBytes(settings, "[Lunark]\nLocator=JO22IC\nAZtype=none\nELtype=none\n");
    std::ostringstream out, err;
    const int status = PositionTool::Run(
        {"--settings", settings, "--at", "2026-12-07T12:00:00Z", "--sked", "10368.1", "--doppler-mode",
         "Full for the DX", "--dx", "FN20XR", "--lo", "-10512", "--rig", "1,", "--send"},
        dir.File("lunark-position"), out, err);
    Unit3::ExecutablePath.clear();
    ASSERT_EQ(status, 0) << err.str();
    const std::string text = out.str();
    const double day =
        Location::DayNumber(std::chrono::sys_days{std::chrono::December / 7 / 2026} + std::chrono::hours(12));
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

    // Without a DX station anywhere the mode cannot be worked out, and nothing is sent.
    out.str("");
    err.str("");
    EXPECT_EQ(PositionTool::Run({"--settings", settings, "--sked", "10368.1", "--doppler-mode", "full for the DX",
                                 "--rig", "1,", "--send"},
                                dir.File("lunark-position"), out, err),
              1);
    Unit3::ExecutablePath.clear();
    EXPECT_EQ(out.str().find("Radio result"), std::string::npos);
    EXPECT_NE(err.str().find("needs a DX station"), std::string::npos) << err.str();
}

}  // namespace
