// SPDX-License-Identifier: GPL-3.0-or-later
// The station window's Radio page as the program builds it: off until the operator turns it on, what
// Apply writes and refuses, and Hamlib's simulated rig tuned from then on. Offscreen.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <optional>

#include "Journal.h"
#include "RadioPage.h"
#include "RadioTracking.h"
#include "Startup.h"
#include "TempDir.h"
#include "TimeScale.h"
#include "Unit3.h"

namespace {

class RadioPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        test_support::WriteFileBytes(File(), "[Lunark]\nLocator=JO22IC\n[Station]\nLog=0\n");
        windows_.emplace(startup::CreateWindows());
        page_ = windows_->station->findChild<TRadioPage*>();
        ASSERT_NE(page_, nullptr);
    }
    void TearDown() override { windows_.reset(); }
    const RadioTracking::Status& Radio() const { return windows_->state->radio.Current(); }
    std::string File() const { return dir_.File("lunark.ini"); }
    QLineEdit* Edit(const char* key) const { return page_->findChild<QLineEdit*>(QString::fromLatin1(key) + "Field"); }

    test_support::TempDir dir_;
    std::optional<startup::ProgramWindows> windows_;
    TRadioPage* page_ = nullptr;
};

TEST_F(RadioPageTest, OffUntilAppliedThenKeepsTheSimulatedRigTuned) {
    EXPECT_FALSE(page_->Ticker.isActive());
    EXPECT_EQ(Radio().state, "off");
    const std::string untouched = test_support::ReadFileBytes(File());

    // The page shown (its tab chosen) loads Hamlib's list of rigs.
    windows_->station->show();
    auto* tabs = windows_->station->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    for (int tab = 0; tab < tabs->count(); ++tab) {
        if (tabs->tabText(tab) == "Radio") tabs->setCurrentIndex(tab);
    }
    ASSERT_GT(page_->ModelBox->count(), 100);
    page_->ModelBox->setCurrentIndex(page_->ModelBox->findData(1));
    page_->findChild<QCheckBox*>("EnabledField")->setChecked(true);
    page_->ModeBox->setCurrentText("own echo");
    Edit("Sked")->setText("10368.abc");
    EXPECT_FALSE(page_->Apply());
    EXPECT_NE(page_->MessageLabel->text().indexOf("Sked:"), -1) << page_->MessageLabel->text().toStdString();
    EXPECT_EQ(test_support::ReadFileBytes(File()), untouched);
    EXPECT_FALSE(page_->Ticker.isActive());

    Edit("Sked")->setText("10368.1");
    ASSERT_TRUE(page_->Apply());
    const std::string written = test_support::ReadFileBytes(File());
    // The keys given, and none that says what its absence says.
    EXPECT_EQ(written, untouched + "[Radio]\nEnabled=1\nModel=1\nSked=10368.1\nMode=own echo\n");
    EXPECT_TRUE(page_->Ticker.isActive());
    ASSERT_TRUE(QTest::qWaitFor([this] { return Radio().state == "answers" && Radio().readReceive; },
                                test_support::ScaledMilliseconds(10000)))
        << Radio().state;
    const long long set = *Radio().setReceive;
    EXPECT_NEAR(set, 10368100000, 25000);  // the echo Doppler at 10 GHz stays within 25 kHz
    EXPECT_TRUE(QTest::qWaitFor([&] { return page_->ReceiveLabel->text().contains(QString::number(set)); },
                                test_support::ScaledMilliseconds(10000)))
        << page_->ReceiveLabel->text().toStdString();
    EXPECT_EQ(page_->StateLabel->text(), "answers");

    // Off again: the rig is let go and the timer stops.
    page_->findChild<QCheckBox*>("EnabledField")->setChecked(false);
    ASSERT_TRUE(page_->Apply());
    EXPECT_FALSE(page_->Ticker.isActive());
    EXPECT_EQ(Radio().state, "off");
}

}  // namespace
