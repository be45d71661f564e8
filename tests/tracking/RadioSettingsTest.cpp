// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RadioSettings.h"
#include "TempDir.h"

namespace {

using RadioSettings::Mode;

// Shifts of -1234.4 Hz at home and +567.6 Hz at the DX station on a 10368.1 MHz sked, worked by hand:
// own echo receives f0+2d, constant on the Moon f0+d and sends f0-d, full for the DX f0+d+dx and f0-d-dx;
// a low-side LO of 10224 MHz puts the dial at air-LO, a high-side one of 10512 MHz at LO-air.
TEST(RadioSettings, TuningFollowsTheModesOnTheAirAndOnTheDial) {
    const struct {
        Mode mode;
        long long loHz, offsetHz;
        long long receive, transmit, rigReceive, rigTransmit;
    } cases[] = {
        {Mode::kOwnEcho, 0, 0, 10368097531, 10368100000, 10368097531, 10368100000},
        {Mode::kConstantOnTheMoon, 10224000000, 0, 10368098766, 10368101234, 144098766, 144101234},
        {Mode::kFullForTheDx, -10512000000, 0, 10368099333, 10368100667, 143900667, 143899333},
        {Mode::kConstantOnTheMoon, 0, 150, 10368098766, 10368101384, 10368098766, 10368101384},
        {Mode::kFullForTheDx, 10224000000, -75, 10368099333, 10368100592, 144099333, 144100592},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(RadioSettings::RowOf(c.mode).name);
        RadioSettings::Settings settings;
        settings.skedHz = 10368100000;
        settings.mode = c.mode;
        settings.loHz = c.loHz;
        settings.transmitOffsetHz = c.offsetHz;
        const auto tuning = RadioSettings::Tune(settings, {-1234.4L, 567.6L});
        ASSERT_TRUE(tuning.has_value());
        EXPECT_EQ(tuning->receive, c.receive);
        EXPECT_EQ(tuning->transmit, c.transmit);
        EXPECT_EQ(tuning->rigReceive, c.rigReceive);
        EXPECT_EQ(tuning->rigTransmit, c.rigTransmit);
    }
    RadioSettings::Settings none;
    none.skedHz = 10368100000;
    EXPECT_FALSE(RadioSettings::Tune(none, {-1234.4L, 567.6L}).has_value());  // the rig is not touched
}

TEST(RadioSettings, ReadsTheSectionAndTakesDefaultsForWhatCannotBeUsed) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    test_support::WriteFileBytes(file,
                                 "[Radio]\nEnabled=1\nModel=2\nDevice=localhost:4532\nSked=10368.1\nMode= Own Echo \n"
                                 "DX=fn20xr\nTxOffset=-50\nLO=-10512\nStep=5\nInterval=500\nNoTxQsy=1\nSplit=0\n"
                                 "[Station]\nPeriod=30\n");
    const RadioSettings::Settings given = RadioSettings::Read(file);
    EXPECT_TRUE(given.enabled);
    EXPECT_EQ(given.rig, (HamlibRig::Address{2, "localhost:4532", 0}));
    EXPECT_EQ(given.skedHz, 10368100000);
    EXPECT_EQ(given.mode, Mode::kOwnEcho);
    EXPECT_EQ(given.dx, "fn20xr");
    EXPECT_EQ(given.transmitOffsetHz, -50);
    EXPECT_EQ(given.loHz, -10512000000);
    EXPECT_EQ(given.stepHz, 5);
    EXPECT_EQ(given.intervalMs, 500);
    EXPECT_TRUE(given.noTxQsy);
    EXPECT_FALSE(given.split);
    EXPECT_EQ(given.periodSeconds, 30);

    // Garbage in every key: each takes its default, and the radio stays off.
    test_support::WriteFileBytes(file,
                                 "[Radio]\nEnabled=yes\nModel=-3\nSpeed=fast\nSked=abc\nMode=half\nDX=ZZ99\n"
                                 "TxOffset=1.5\nLO=1e9\nStep=0\nInterval=5\nNoTxQsy=2\nSplit=\n[Station]\nPeriod=-3\n");
    const RadioSettings::Settings garbage = RadioSettings::Read(file);
    EXPECT_EQ(garbage, RadioSettings::Settings{});
    const std::string problem = RadioSettings::Problem(RadioSettings::ReadTexts(file));
    for (const char* key : {"Enabled:", "Model:", "Speed:", "Sked:", "Mode:", "DX:", "TxOffset:", "LO:", "Step:",
                            "Interval:", "NoTxQsy:"}) {
        EXPECT_NE(problem.find(key), std::string::npos) << key;
    }
    EXPECT_EQ(RadioSettings::Problem(RadioSettings::ReadTexts(dir.File("missing.ini"))), "");
}

TEST(RadioSettings, WritesOnlyTheKeysThatChanged) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    test_support::WriteFileBytes(file, "[Lunark]\nLocator=JO22IC\n[Radio]\nSked=1296.05\n");
    RadioSettings::Texts texts = RadioSettings::ReadTexts(file);
    RadioSettings::Write(file, texts);
    EXPECT_EQ(test_support::ReadFileBytes(file), "[Lunark]\nLocator=JO22IC\n[Radio]\nSked=1296.05\n");
    texts[0].assign(1, '1');  // Enabled
    RadioSettings::Write(file, texts);
    EXPECT_EQ(test_support::ReadFileBytes(file), "[Lunark]\nLocator=JO22IC\n[Radio]\nSked=1296.05\nEnabled=1\n");
}

}  // namespace
