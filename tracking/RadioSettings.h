// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "HamlibRig.h"

// The [Radio] section of the settings file: the transceiver that follows the Moon's Doppler shift,
// through Hamlib. Off unless Enabled=1; nothing else reads the section.
//
//   Enabled=1          drive the rig (default 0)
//   Model=1            Hamlib's rig model (2: a rigctld at Device, HOST:PORT)
//   Device=/dev/ttyUSB0
//   Speed=9600         line speed; empty keeps the model's own
//   Sked=10368.100     the sked frequency on the air, MHz
//   Mode=own echo      none, own echo, constant on the Moon, full for the DX (any letter case)
//   DX=FN20XR          the DX station's locator (default: the Plan page's first)
//   TxOffset=0         Hz added to the transmit frequency
//   LO=10224           MHz, a transverter's local oscillator; negative for a high-side one; 0 none
//   Step=1             Hz: the receive frequency is set again when it is off by this much
//   Interval=1000      ms: at most this often
//   NoTxQsy=0          1: the rig cannot change frequency while transmitting
//   Split=1            0: never use the rig's split; the transmit frequency is set at PTT
//
// A value that cannot be used takes its default.
namespace RadioSettings {

inline constexpr char kSection[] = "Radio";

enum class Mode { kNone, kOwnEcho, kConstantOnTheMoon, kFullForTheDx };

// How each mode corrects: the receive frequency is f0 plus these multiples of the home and the DX
// station's one-way Doppler, the transmit frequency f0 plus the others.
struct ModeRow {
    Mode mode;
    const char* name;  // as the settings file and the Radio page give it
    int receiveHome, receiveDx, transmitHome, transmitDx;
    bool needsDx;
};
inline constexpr ModeRow kModes[] = {
    {Mode::kNone, "none", 0, 0, 0, 0, false},
    {Mode::kOwnEcho, "own echo", 2, 0, 0, 0, false},
    {Mode::kConstantOnTheMoon, "constant on the Moon", 1, 0, -1, 0, false},
    {Mode::kFullForTheDx, "full for the DX", 1, 1, -1, -1, true},
};
static_assert(std::size(kModes) == 4);

const ModeRow& RowOf(Mode mode);
// A mode's name in any letter case, blanks around it ignored; nothing for another text.
std::optional<Mode> ParseMode(std::string_view text);

struct Settings {
    bool enabled = false;
    HamlibRig::Address rig;
    long long skedHz = 0;  // 0: none given
    Mode mode = Mode::kNone;
    std::string dx;  // a locator, or empty
    long long transmitOffsetHz = 0;
    long long loHz = 0;  // negative: a high-side oscillator
    long long stepHz = 1;
    int intervalMs = 1000;
    bool noTxQsy = false;
    bool split = true;
    int periodSeconds = 60;  // [Station] Period
    bool operator==(const Settings&) const = default;
};

// The section's keys, in the order they are written, with the text an absent key stands for and what
// the page says when a text cannot be used.
struct Key {
    const char* key;
    const char* absent;
    bool (*usable)(std::string_view text);
    const char* problem;
};
inline constexpr std::size_t kKeyCount = 13;
extern const std::array<Key, kKeyCount> kKeys;

// The section as texts, one per key of kKeys.
using Texts = std::array<std::string, kKeyCount>;
Texts ReadTexts(const std::string& settingsFile);
// The texts as settings; unusable ones take their defaults. period is [Station] Period.
Settings Parse(const Texts& texts, int periodSeconds);
Settings Read(const std::string& settingsFile);
// Each key with its text, for the journal.
std::vector<std::pair<std::string, std::string>> KeyTexts(const Texts& texts);
// What is wrong with texts an operator entered, one sentence a line; empty when all can be used.
std::string Problem(const Texts& texts);
// Writes the keys whose meaning changed (an absent key means its default), under one lock; nothing
// when none did. Raises EIniWriteError.
void Write(const std::string& settingsFile, const Texts& texts);

// The one-way Doppler shifts at the sked frequency, Hz: -f0·(dr/dt)/c for each station.
struct Doppler {
    long double home = 0;
    long double dx = 0;
};

// Where the rig goes: on the air and on the rig's dial, whole hertz.
struct Tuning {
    long long receive, transmit;
    long long rigReceive, rigTransmit;
};

// The dial of a rig behind a local oscillator: air − LO, or |LO| − air for a high-side one.
long long OnRig(long long airHz, long long loHz);

// The frequencies of the mode for these shifts; nothing for mode none or without a sked frequency.
std::optional<Tuning> Tune(const Settings& settings, const Doppler& doppler);

}  // namespace RadioSettings
