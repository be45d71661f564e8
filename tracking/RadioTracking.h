// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "HamlibRig.h"
#include "Journal.h"
#include "Location.h"
#include "RadioSettings.h"
#include "pointing.h"

// The radio's side of the program's tracking: the Doppler of the precise topocentric Moon for the home
// and the DX station, the frequencies the [Radio] mode asks for, and the rig kept on them through its
// Hamlib worker (HamlibRig). Runs on the thread that calls Tick (the UI thread); never waits on the rig.
namespace RadioTracking {

// The program's one gate on Hamlib, shared with the rotators' workers.
HamlibRig::Gate& HamlibGate();

// The DX station the Doppler is computed for: the weak-signal program's DX locator while it is fresh
// (WeakSignalDx), else [Radio] DX, else the Plan page's first locator; empty
// when neither names one.
std::string ChooseDx(const RadioSettings::Settings& settings, const std::string& settingsFile);

// The DX station the settings give: [Radio] DX, else the Plan page's first locator.
std::string ConfiguredDx(const RadioSettings::Settings& settings, const std::string& settingsFile);

// The one-way shifts at `skedHz` for stations at these places, from the Moon's range rates.
RadioSettings::Doppler DopplerAt(double utcDayNumber, const pointing::Station& home,
                                 const std::optional<pointing::Station>& dx, long long skedHz);

// "Radio error - DEVICE" ("Radio error - Hamlib model 1" for a rig reached over nothing).
std::string ErrorText(const HamlibRig::Address& address);

// What the Radio page shows.
struct Status {
    bool driving = false;                                 // enabled, with a mode and a sked frequency
    long long skedHz = 0;                                 // the sked frequency in force while enabled, else 0
    std::string state;                                    // "off", "waiting for the rig", "answers", or why it does not
    std::string dx;                                       // the DX locator in use, or empty
    std::optional<RadioSettings::Tuning> wanted;          // now
    long double correctionHz = 0;                         // the receive frequency less the sked frequency, now
    long double rateHzPerSecond = 0;                      // how fast that changes
    std::optional<long long> setReceive, setTransmit;     // last set on the rig's dial
    Location::Instant receiveSetFor{}, transmitSetFor{};  // the instants they were computed for
    std::optional<long long> readReceive, readTransmit;   // last read back
    std::optional<bool> transmitting;
    bool split = false;   // working split
    std::string warning;  // the rig's frequency moved without Lunark setting it
};

// The radio's Doppler tracking for one run: the rig, the settings in force and what the Radio page
// shows. The program makes one at start-up; what it has to tell goes into the journal it is handed.
class Tracker {
public:
    explicit Tracker(Journal::Journal& journal);
    ~Tracker();
    Tracker(const Tracker&) = delete;
    Tracker& operator=(const Tracker&) = delete;

    // Puts settings in force (start-up, the Radio page's Apply): the rig is let go and taken anew.
    // The home station is the [Pointing] place or the locator's, the DX station ConfiguredDx's,
    // behind the weak-signal program's while that is fresh (Tick follows it as it comes and goes).
    void Use(const RadioSettings::Settings& settings, const pointing::Station& home, const std::string& dxLocator);

    // Keeps the rig on its frequencies at `now`; call every 200 ms or so. Handles the rig's answers
    // that have arrived.
    void Tick(Location::Instant now);

    const Status& Current() const;

    // Lets the rig go and forgets everything (the end of a run).
    void Reset();

    struct State;  // the rig, its settings and what it last did; in RadioTracking.cpp

private:
    std::unique_ptr<State> state_;
};

// Tunes the rig once to these frequencies (lunark-position --send), split where the rig has it and
// `split` asks for it, and waits up to `wait` for the answer; nothing when none came in time.
std::optional<HamlibRig::Result> TuneOnce(const HamlibRig::Address& address, bool split,
                                          const RadioSettings::Tuning& tuning, std::chrono::milliseconds wait);

}  // namespace RadioTracking
