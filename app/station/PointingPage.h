// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "Journal.h"
#include "PointingSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The station window's Pointing page: precise pointing, the Moon or the Sun, the station's exact
// place (latitude and longitude, or an 8- or 10-character locator, and height) and the air for the
// refraction. "Apply" checks the entries, writes what changed into the [Pointing] section of the
// settings file and journals it; the position update reads that section every time, so the main
// window, the commands and the station window follow at once (Applied()).
class TPointingPage : public QWidget {
    Q_OBJECT
public:
    // journal: where the settings changed are told; it outlives the page.
    explicit TPointingPage(Journal::Journal& journal, QWidget* parent = nullptr);

    // Shows what the settings file holds now.
    void Load();
    // Checks and writes the entries; false (with the reason shown) when nothing could be applied.
    bool Apply();

    QCheckBox* PreciseBox = nullptr;
    QComboBox* TargetBox = nullptr;
    QLineEdit* LatitudeEdit = nullptr;
    QLineEdit* LongitudeEdit = nullptr;
    QLineEdit* HeightEdit = nullptr;
    QLineEdit* LocatorEdit = nullptr;
    QCheckBox* RefractionBox = nullptr;
    QLineEdit* TemperatureEdit = nullptr;
    QLineEdit* PressureEdit = nullptr;
    QLabel* PlaceNoteLabel = nullptr;  // where the exact place lies when it is outside the locator's square
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;  // why the entries were refused, or that they were applied

signals:
    void Applied();

protected:
    // The locator may have changed in Setup since the page was last shown.
    void showEvent(QShowEvent* event) override;

private:
    PointingSettings::Texts Entered() const;
    // Says whether the exact place in force lies outside the locator's square.
    void ShowPlaceNote();

    Journal::Journal& journal_;
};
