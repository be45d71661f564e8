// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "HamlibRotator.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Protocols.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TStationWindow;

// The station window's Hamlib page. For each axis: the Hamlib rotator it drives while its
// protocol is "Hamlib" (the model from Hamlib's own list, narrowed by a search box; the device;
// the line speed of a serial model), written to the [Hamlib] section by Apply and used from the
// next send on; the position last commanded against the one read back, and their difference;
// whether the rotator answers; Stop and Park. The page asks where the rotators stand every
// kReadBackEvery refreshes of the window (every 5 s while it is open); the rotators' workers
// answer, never this thread.
class THamlibPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kReadBackEvery = 5;

    // Refreshes with the window, which takes the page as one of its sections.
    // journal: where the settings changed are told; it outlives the page.
    THamlibPage(TStationWindow& window, HamlibTransport::Axes& hamlib, Journal::Journal& journal);

    // The controls of one axis.
    struct AxisControls {
        QLineEdit* search = nullptr;
        QComboBox* model = nullptr;  // item data: Hamlib's model number; 0 for no rotator
        QLineEdit* device = nullptr;
        QComboBox* lineSpeed = nullptr;  // item data: baud; 0 for the model's own
        QLabel* protocol = nullptr;
        QLabel* lastCommand = nullptr;  // set position, stop or park, and when
        QLabel* commanded = nullptr;
        QLabel* actual = nullptr;
        QLabel* difference = nullptr;
        QLabel* state = nullptr;
        QPushButton* stop = nullptr;
        QPushButton* park = nullptr;
        int choiceBeforeSearch = 0;  // the model chosen when the search box was last empty
    };
    AxisControls Azimuth, Elevation;
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;  // the latest event: what Apply, Stop or Park came to, or a rotator's result

    // Shows the [Hamlib] section's choices.
    void LoadSettings();
    // Writes both axes' choices to the [Hamlib] section; a choice that cannot be kept is shown
    // beside the button and nothing is written. The fields keep what the operator entered.
    void Apply();
    // Brings the live values up to date and, every kReadBackEvery calls, asks for the positions.
    void Refresh();

private:
    QGroupBox* BuildAxis(QWidget* parent, Protocols::Axis axis, AxisControls& controls);
    AxisControls& ControlsOf(Protocols::Axis axis) { return axis == Protocols::Axis::kAzimuth ? Azimuth : Elevation; }
    // The model list narrowed to the search text; the choice stays while it matches.
    void FilterModels(AxisControls& controls);
    void ShowModel(AxisControls& controls, int model);
    void ShowLineSpeed(AxisControls& controls, int lineSpeed);
    // The line speed applies to serial models only.
    void EnableLineSpeed(AxisControls& controls);
    std::optional<HamlibRotator::Address> Chosen(const AxisControls& controls) const;
    void RefreshAxis(Protocols::Axis axis);

    // The page's own action writes the line: results that arrived before it are not news.
    void TellFromHere();

    int refreshes_ = 0;
    std::uint64_t toldEvent_ = 0;  // the number of the latest HamlibTransport::Event the line has taken in

    HamlibTransport::Axes& hamlib_;  // the axes it shows, reads back, stops and parks
    Journal::Journal& journal_;
};
