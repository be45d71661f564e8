// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "Journal.h"
#include "MoveTiming.h"
#include "RotatorSettings.h"
#include "RotatorTracking.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The station window's Rotator page: the azimuth range (the stop at north, or an overlap past it),
// the elevation range, what the rotators do while the target is below the horizon, the deadband,
// the tracking interval in seconds and when in each period automatic sends may move the rotators. "Apply" checks the entries, writes the [Rotator] section,
// journals what changed and puts it in force at once (Applied(): the main window sets its timer).
// Below, the pass followed on an overlapping range and its side, or when the rotator will unwind, and
// when automatic sends go (a send held back: when it will go). The
// Horizon part edits the horizon mask ([Horizon] Mask), applied with the rest.
class TRotatorPage : public QWidget {
    Q_OBJECT
public:
    // rotators: the tracking whose settings and mask are in force, which Apply changes; journal:
    // where the settings changed are told. Both outlive the page.
    TRotatorPage(RotatorTracking::Tracker& rotators, Journal::Journal& journal, QWidget* parent = nullptr);

    // Shows the settings in force (the tracker's).
    void Load();
    // Checks, writes and puts in force the entries; false (with the reason shown) when refused.
    bool Apply();
    // Brings the pass and move lines up to date; the station window calls it every second.
    void Refresh();
    // The move timing whose sends the move line tells of (the main window's); none: nothing is owed.
    void SetMoveTiming(const MoveTiming* moves);

    QLineEdit* AzimuthRangeEdit = nullptr;
    QLineEdit* ElevationMinimumEdit = nullptr;
    QLineEdit* ElevationMaximumEdit = nullptr;
    QComboBox* BelowHorizonBox = nullptr;  // follow, park, wait
    QLineEdit* ParkAzimuthEdit = nullptr;
    QLineEdit* ParkElevationEdit = nullptr;
    QLineEdit* DeadbandEdit = nullptr;
    QLineEdit* IntervalEdit = nullptr;
    QLineEdit* MoveWindowEdit = nullptr;
    QComboBox* MoveWhenBox = nullptr;  // any time, not transmitting
    QLabel* MovesLabel = nullptr;
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;
    QLabel* PassLabel = nullptr;
    QLineEdit* HorizonMaskEdit = nullptr;

signals:
    void Applied();

private:
    RotatorSettings::Entries Entered() const;
    RotatorTracking::Tracker& rotators_;
    const MoveTiming nothingOwed_{rotators_.Settings()};  // told while no move timing is set
    const MoveTiming* moves_ = nullptr;
    Journal::Journal& journal_;
};
