// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

#include "Journal.h"
#include "RadioSettings.h"
#include "RadioTracking.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The station window's Radio page: the transceiver that follows the Moon's Doppler (the rig from
// Hamlib's list, narrowed by a search box, its device and speed; the sked frequency, the mode, the
// DX station, the oscillator and how often the rig is tuned), written to the [Radio] section by
// Apply and in force at once; live, the frequencies wanted, last set and read back, the Doppler and
// its rate, the PTT and whether the rig answers. The page keeps the rig tuned from start-up on while
// [Radio] Enabled=1, whether it is shown or not, with a timer of its own (kTickMs); with the radio
// off the timer does not run.
class TRadioPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTickMs = 200;

    // radio: the run's Doppler tracking, which the page puts settings in force in and ticks;
    // journal: where the settings changed are told. Both outlive the page.
    TRadioPage(RadioTracking::Tracker& radio, Journal::Journal& journal, QWidget* parent = nullptr);

    // Shows the [Radio] section and puts it in force.
    void Load();
    // Checks and writes the entries and puts them in force; false (with the reason) when refused.
    bool Apply();
    // Brings the live values up to date.
    void Refresh();

    QLineEdit* SearchEdit = nullptr;
    QComboBox* ModelBox = nullptr;  // item data: Hamlib's rig model; 0 for none
    QComboBox* ModeBox = nullptr;
    // One entry per key of RadioSettings::kKeys (the model and mode are the boxes above; switches
    // are "1" or "0" in check boxes shown through the same table).
    std::array<QWidget*, RadioSettings::kKeyCount> Fields{};
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;
    QLabel* ReceiveLabel = nullptr;  // wanted, set and read back
    QLabel* TransmitLabel = nullptr;
    QLabel* DopplerLabel = nullptr;  // the receive correction and its rate
    QLabel* PttLabel = nullptr;
    QLabel* StateLabel = nullptr;    // "answers", or why not
    QLabel* WarningLabel = nullptr;  // the rig was tuned by someone else
    QTimer Ticker;

protected:
    // Hamlib's list of rigs is loaded when the page is first shown, not at start-up.
    void showEvent(QShowEvent* event) override;

private:
    RadioSettings::Texts Entered() const;
    void Show(const RadioSettings::Texts& texts);
    void FilterModels();
    void PutInForce();

    bool modelsLoaded_ = false;

    RadioTracking::Tracker& radio_;
    Journal::Journal& journal_;
};
