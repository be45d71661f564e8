// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotatorPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "CoreText.h"
#include "EventGuard.h"
#include "HorizonSettings.h"
#include "IniFile.h"
#include "Position.h"
#include "RotatorTracking.h"
#include "SettingsPage.h"
#include "Station.h"
#include "StationSettings.h"
#include "Unit3.h"

namespace {

using RotatorSettings::BelowHorizon;

// The policies in the order of the list, with the names the settings file and the command line use.
constexpr struct {
    BelowHorizon policy;
    const char* caption;
} kPolicies[] = {
    {BelowHorizon::kFollow, "follow"},
    {BelowHorizon::kPark, "park"},
    {BelowHorizon::kWait, "wait"},
};

}  // namespace

TRotatorPage::TRotatorPage(RotatorTracking::Tracker& rotators, Journal::Journal& journal, QWidget* parent)
    : QWidget(parent), rotators_(rotators), journal_(journal) {
    setObjectName(QStringLiteral("RotatorPage"));
    auto* where = new QGroupBox(QStringLiteral("Where"), this);
    auto* whereForm = new QFormLayout(where);
    AzimuthRangeEdit = settings_page::AddEdit(whereForm, "AzimuthRangeEdit", "Azimuth range", "0-360 or 0-450");
    ElevationMinimumEdit = settings_page::AddEdit(whereForm, "ElevationMinimumEdit", "Elevation minimum (\u00B0)", "0");
    ElevationMaximumEdit =
        settings_page::AddEdit(whereForm, "ElevationMaximumEdit", "Elevation maximum (\u00B0)", "no limit");
    BelowHorizonBox = new QComboBox(where);
    BelowHorizonBox->setObjectName(QStringLiteral("BelowHorizonBox"));
    for (const auto& policy : kPolicies) BelowHorizonBox->addItem(QString::fromLatin1(policy.caption));
    BelowHorizonBox->setToolTip(
        QStringLiteral("follow: the azimuth follows the target all night; park: go to the "
                       "azimuth and elevation below; wait: at the azimuth of the next rise"));
    whereForm->addRow(QStringLiteral("Below the horizon"), BelowHorizonBox);
    ParkAzimuthEdit = settings_page::AddEdit(whereForm, "ParkAzimuthEdit", "Park azimuth (\u00B0)", "0");
    ParkElevationEdit = settings_page::AddEdit(whereForm, "ParkElevationEdit", "Park elevation (\u00B0)", "0");

    auto* when = new QGroupBox(QStringLiteral("When"), this);
    auto* whenForm = new QFormLayout(when);
    DeadbandEdit = settings_page::AddEdit(whenForm, "DeadbandEdit", "Deadband (\u00B0)", "0: send at every tick");
    IntervalEdit = settings_page::AddEdit(whenForm, "IntervalEdit", "Interval (s)", "TrackInterval's minutes");
    MoveWindowEdit = settings_page::AddEdit(whenForm, "MoveWindowEdit", "Move window (s)", "any second, e.g. 50-59");
    MoveWindowEdit->setToolTip(
        QStringLiteral("The seconds of each transmit/receive period in which automatic sends (the ticks of Cont. "
                       "track, resumed tracking, retries) may move the rotators; one outside them goes at the "
                       "window's next start with the position of then. Track always sends at once."));
    MoveWhenBox = new QComboBox(when);
    MoveWhenBox->setObjectName(QStringLiteral("MoveWhenBox"));
    MoveWhenBox->addItem(QStringLiteral("any time"));
    MoveWhenBox->addItem(QStringLiteral("not transmitting"));
    MoveWhenBox->setToolTip(
        QStringLiteral("not transmitting: automatic sends wait while the weak-signal program's status says it "
                       "transmits (a status older than two minutes counts as not transmitting)"));
    whenForm->addRow(QStringLiteral("Move"), MoveWhenBox);
    MovesLabel = new QLabel(when);
    MovesLabel->setObjectName(QStringLiteral("MovesLabel"));
    MovesLabel->setWordWrap(true);
    MovesLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    whenForm->addRow(QStringLiteral("Moves"), MovesLabel);
    PassLabel = new QLabel(when);
    PassLabel->setObjectName(QStringLiteral("PassLabel"));
    PassLabel->setWordWrap(true);
    PassLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    whenForm->addRow(QStringLiteral("Pass"), PassLabel);

    auto* horizon = new QGroupBox(QStringLiteral("Horizon"), this);
    auto* horizonForm = new QFormLayout(horizon);
    HorizonMaskEdit =
        settings_page::AddEdit(horizonForm, "HorizonMaskEdit", "Mask (AZ:EL,…)", "none, e.g. 90:12,135:20,180:8");
    HorizonMaskEdit->setToolTip(
        QStringLiteral("What hides the low sky: points of azimuth and elevation joined by "
                       "straight lines, through north from the last to the first"));

    auto* groups = new QHBoxLayout;
    groups->addWidget(where);
    groups->addWidget(when);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(horizon);
    settings_page::AddApplyRow(layout, this, ApplyButton, MessageLabel);
    layout->addStretch(1);

    connect(BelowHorizonBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        const bool park = index >= 0 && kPolicies[index].policy == BelowHorizon::kPark;
        ParkAzimuthEdit->setEnabled(park);
        ParkElevationEdit->setEnabled(park);
    });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    Load();
    Refresh();
}

void TRotatorPage::Load() {
    const RotatorSettings::Entries entries = RotatorSettings::ToEntries(rotators_.Settings());
    AzimuthRangeEdit->setText(QString::fromStdString(entries.azimuthRange));
    ElevationMinimumEdit->setText(QString::fromStdString(entries.elevationMinimum));
    ElevationMaximumEdit->setText(QString::fromStdString(entries.elevationMaximum));
    for (int i = 0; i < static_cast<int>(std::size(kPolicies)); ++i) {
        if (kPolicies[i].policy == entries.belowHorizon) BelowHorizonBox->setCurrentIndex(i);
    }
    const bool park = entries.belowHorizon == BelowHorizon::kPark;
    ParkAzimuthEdit->setEnabled(park);
    ParkElevationEdit->setEnabled(park);
    ParkAzimuthEdit->setText(QString::fromStdString(entries.parkAzimuth));
    ParkElevationEdit->setText(QString::fromStdString(entries.parkElevation));
    DeadbandEdit->setText(QString::fromStdString(entries.deadband));
    IntervalEdit->setText(QString::fromStdString(entries.intervalSeconds));
    MoveWindowEdit->setText(QString::fromStdString(entries.moveWindow));
    MoveWhenBox->setCurrentIndex(entries.moveWhenNotTransmitting ? 1 : 0);
    HorizonMaskEdit->setText(QString::fromStdString(horizon_mask::Text(rotators_.Mask())));
}

RotatorSettings::Entries TRotatorPage::Entered() const {
    RotatorSettings::Entries entries;
    entries.azimuthRange = core_text::ToCore(AzimuthRangeEdit->text());
    entries.elevationMinimum = core_text::ToCore(ElevationMinimumEdit->text());
    entries.elevationMaximum = core_text::ToCore(ElevationMaximumEdit->text());
    entries.belowHorizon = kPolicies[std::max(BelowHorizonBox->currentIndex(), 0)].policy;
    entries.parkAzimuth = core_text::ToCore(ParkAzimuthEdit->text());
    entries.parkElevation = core_text::ToCore(ParkElevationEdit->text());
    entries.deadband = core_text::ToCore(DeadbandEdit->text());
    entries.intervalSeconds = core_text::ToCore(IntervalEdit->text());
    entries.moveWindow = core_text::ToCore(MoveWindowEdit->text());
    entries.moveWhenNotTransmitting = MoveWhenBox->currentIndex() == 1;
    return entries;
}

bool TRotatorPage::Apply() {
    const std::string file = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    std::string problem;
    const std::optional<RotatorSettings::Settings> entered =
        RotatorSettings::FromEntries(Entered(), problem, StationSettings::PeriodSeconds(file));
    if (!entered) return settings_page::Refuse(MessageLabel, problem);
    const horizon_mask::Parsed mask = horizon_mask::Parse(core_text::ToCore(HorizonMaskEdit->text()));
    if (!mask.problem.empty()) return settings_page::Refuse(MessageLabel, mask.problem);
    const horizon_mask::Mask maskBefore = rotators_.Mask();
    if (mask.mask != HorizonSettings::Read(file).mask) {
        try {
            HorizonSettings::Write(file, mask.mask);
        } catch (const EIniWriteError& error) {
            return settings_page::RefuseWrite(MessageLabel, error.what());
        }
    }
    rotators_.UseMask(HorizonSettings::Read(file).mask);
    Station::NoteChanges(journal_, HorizonSettings::KeyTexts(maskBefore), HorizonSettings::KeyTexts(rotators_.Mask()));
    const RotatorSettings::Settings before = rotators_.Settings();
    // A file that already says so is left untouched (no section is added for the defaults).
    if (*entered != RotatorSettings::Load(journal_, file)) {
        try {
            RotatorSettings::Save(file, *entered);
        } catch (const EIniWriteError& error) {
            return settings_page::RefuseWrite(MessageLabel, error.what());
        }
    }
    // What the file now holds is what tracking uses, as it would after a restart.
    const RotatorSettings::Settings after = RotatorSettings::Load(journal_, file);
    Station::NoteChanges(journal_, RotatorSettings::KeyTexts(before), RotatorSettings::KeyTexts(after));
    rotators_.Use(after);
    Load();
    settings_page::Accept(MessageLabel, before != after || maskBefore != rotators_.Mask());
    emit Applied();
    Refresh();
    return true;
}

void TRotatorPage::Refresh() {
    QString text;
    if (rotators_.Settings().azimuthRange <= RotatorSettings::kStopAtNorth) {
        text = QStringLiteral("stop at north: the azimuth stays within 0-360");
    } else {
        const std::string notice = rotators_.PassNotice();
        if (!notice.empty()) text = QString::fromStdString(notice);
        else if (Position::AZvalue.empty()) text = QStringLiteral("no position: give a locator in Setup");
        else text = QStringLiteral("no pass under way: the side is chosen when the target rises");
    }
    if (PassLabel->text() != text) PassLabel->setText(text);
    const QString moves = QString::fromStdString((moves_ != nullptr ? *moves_ : nothingOwed_).Describe());
    if (MovesLabel->text() != moves) MovesLabel->setText(moves);
}

void TRotatorPage::SetMoveTiming(const MoveTiming* moves) {
    moves_ = moves;
    Refresh();
}
