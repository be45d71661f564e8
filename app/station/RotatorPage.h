// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "Journal.h"
#include "RotatorSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The station window's Rotator page: the azimuth range (the stop at north, or an overlap past it),
// the elevation range, what the rotators do while the target is below the horizon, the deadband
// and the tracking interval in seconds. "Apply" checks the entries, writes the [Rotator] section,
// journals what changed and puts it in force at once (Applied(): the main window sets its timer).
// Below, the pass followed on an overlapping range and its side, or when the rotator will unwind. The
// Horizon part edits the horizon mask ([Horizon] Mask), applied with the rest.
class TRotatorPage : public QWidget {
    Q_OBJECT
public:
    // journal: where the settings changed are told; it outlives the page.
    explicit TRotatorPage(Journal::Journal& journal, QWidget* parent = nullptr);

    // Shows the settings in force (RotatorSettings::Current).
    void Load();
    // Checks, writes and puts in force the entries; false (with the reason shown) when refused.
    bool Apply();
    // Brings the pass line up to date; the station window calls it every second.
    void Refresh();

    QLineEdit* AzimuthRangeEdit = nullptr;
    QLineEdit* ElevationMinimumEdit = nullptr;
    QLineEdit* ElevationMaximumEdit = nullptr;
    QComboBox* BelowHorizonBox = nullptr;  // follow, park, wait
    QLineEdit* ParkAzimuthEdit = nullptr;
    QLineEdit* ParkElevationEdit = nullptr;
    QLineEdit* DeadbandEdit = nullptr;
    QLineEdit* IntervalEdit = nullptr;
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;
    QLabel* PassLabel = nullptr;
    QLineEdit* HorizonMaskEdit = nullptr;

signals:
    void Applied();

private:
    RotatorSettings::Entries Entered() const;

    Journal::Journal& journal_;
};
