// SPDX-License-Identifier: GPL-3.0-or-later
#include "RadioSettings.h"

#include <cctype>
#include <cmath>

#include "IniFile.h"
#include "PlanSettings.h"
#include "PointingSettings.h"
#include "StationSettings.h"
#include "WeakSignalDx.h"

namespace RadioSettings {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::optional<long double> Number(std::string_view text, long double lowest, long double highest) {
    return PointingSettings::Decimal(text, lowest, highest);
}

std::optional<long long> Whole(std::string_view text, long double lowest, long double highest) {
    const auto value = Number(text, lowest, highest);
    if (!value || *value != std::trunc(*value)) return std::nullopt;
    return static_cast<long long>(*value);
}

bool Switch(std::string_view text) {
    return Trimmed(text) == "0" || Trimmed(text) == "1";
}
bool ModelNumber(std::string_view text) {
    return Whole(text, 1, 1e8).has_value();
}
bool AnyDevice(std::string_view) {
    return true;
}
bool LineSpeed(std::string_view text) {
    return Trimmed(text).empty() || Whole(text, 1, 1e7).has_value();
}
bool Sked(std::string_view text) {
    return Number(text, 0.001L, 1e6L).has_value();
}
bool ModeName(std::string_view text) {
    return ParseMode(text).has_value();
}
bool DxLocator(std::string_view text) {
    return Trimmed(text).empty() || PlanSettings::LocatorProblem(std::string(Trimmed(text))).empty();
}
bool Offset(std::string_view text) {
    return Whole(text, -1e6L, 1e6L).has_value();
}
bool Oscillator(std::string_view text) {
    return Number(text, -1e6L, 1e6L).has_value();
}
bool Step(std::string_view text) {
    return Whole(text, 1, 1e5L).has_value();
}
bool Interval(std::string_view text) {
    return Whole(text, 100, 60000).has_value();
}

enum KeyIndex {
    kEnabled,
    kModel,
    kDevice,
    kSpeed,
    kSked,
    kMode,
    kDx,
    kTxOffset,
    kLo,
    kStep,
    kInterval,
    kNoTxQsy,
    kSplit
};

long long Hz(long double megahertz) {
    return std::llround(megahertz * 1e6L);
}

}  // namespace

const std::array<Key, kKeyCount> kKeys = {{
    {"Enabled", "0", Switch, "Enabled: 0 (off) or 1 (on)."},
    {"Model", "", ModelNumber, "Model: Hamlib's rig model number (1 the simulated rig, 2 a rigctld)."},
    {"Device", "", AnyDevice, ""},
    {"Speed", "", LineSpeed, "Speed: the line speed in baud, or empty for the model's own."},
    {"Sked", "", Sked, "Sked: the sked frequency in MHz with a decimal point (10368.100)."},
    {"Mode", "none", ModeName, "Mode: none, own echo, constant on the Moon or full for the DX."},
    {"DX", "", DxLocator, "DX: a Maidenhead locator (FN20XR), or empty for the Plan page's first."},
    {"TxOffset", "0", Offset, "TxOffset: whole hertz from -1000000 to 1000000."},
    {"LO", "0", Oscillator, "LO: the local oscillator in MHz, negative for high side, 0 for none."},
    {"Step", "1", Step, "Step: whole hertz from 1 to 100000."},
    {"Interval", "1000", Interval, "Interval: milliseconds from 100 to 60000."},
    {"NoTxQsy", "0", Switch, "NoTxQsy: 0 or 1 (the rig cannot change frequency while transmitting)."},
    {"Split", "1", Switch, "Split: 1 (use the rig's split) or 0 (set the transmit frequency at PTT)."},
}};

const ModeRow& RowOf(Mode mode) {
    for (const ModeRow& row : kModes) {
        if (row.mode == mode) return row;
    }
    return kModes[0];
}

std::optional<Mode> ParseMode(std::string_view text) {
    const auto lower = [](std::string_view name) {
        std::string text(Trimmed(name));
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (const ModeRow& row : kModes) {
        if (lower(text) == lower(row.name)) return row.mode;
    }
    return std::nullopt;
}

Texts ReadTexts(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Texts texts;
    for (std::size_t i = 0; i < kKeyCount; ++i) texts[i] = ini.ReadString(kSection, kKeys[i].key, "");
    return texts;
}

Settings Parse(const Texts& given, int periodSeconds) {
    Texts texts;
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        const bool usable = !Trimmed(given[i]).empty() && kKeys[i].usable(given[i]);
        texts[i] = usable ? std::string(Trimmed(given[i])) : kKeys[i].absent;
    }
    Settings settings;
    settings.enabled = texts[kEnabled] == "1";
    settings.rig = {static_cast<int>(Whole(texts[kModel], 1, 1e8).value_or(0)), texts[kDevice],
                    static_cast<int>(Whole(texts[kSpeed], 1, 1e7).value_or(0))};
    settings.skedHz = Hz(Number(texts[kSked], 0.001L, 1e6L).value_or(0));
    settings.mode = ParseMode(texts[kMode]).value_or(Mode::kNone);
    settings.dx = texts[kDx];
    settings.transmitOffsetHz = *Whole(texts[kTxOffset], -1e6L, 1e6L);
    settings.loHz = Hz(*Number(texts[kLo], -1e6L, 1e6L));
    settings.stepHz = *Whole(texts[kStep], 1, 1e5L);
    settings.intervalMs = static_cast<int>(*Whole(texts[kInterval], 100, 60000));
    settings.noTxQsy = texts[kNoTxQsy] == "1";
    settings.split = texts[kSplit] == "1";
    settings.periodSeconds = periodSeconds;
    return settings;
}

Settings Read(const std::string& settingsFile) {
    const std::optional<int32_t> heard = WeakSignalDx::FreshPeriodSeconds(Location::Now());
    return Parse(ReadTexts(settingsFile), heard.value_or(StationSettings::PeriodSeconds(settingsFile)));
}

std::vector<std::pair<std::string, std::string>> KeyTexts(const Texts& texts) {
    std::vector<std::pair<std::string, std::string>> list;
    for (std::size_t i = 0; i < kKeyCount; ++i) list.emplace_back(kKeys[i].key, texts[i]);
    return list;
}

std::string Problem(const Texts& texts) {
    std::string problems;
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        if (Trimmed(texts[i]).empty() || kKeys[i].usable(texts[i])) continue;
        if (!problems.empty()) problems += '\n';
        problems += kKeys[i].problem;
    }
    return problems;
}

void Write(const std::string& settingsFile, const Texts& texts) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();
    const Texts old = ReadTexts(settingsFile);
    // A text that says what an absent key means changes nothing.
    const auto meaning = [](std::string_view text, const Key& key) {
        return Trimmed(text).empty() ? std::string_view(key.absent) : Trimmed(text);
    };
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        if (meaning(old[i], kKeys[i]) != meaning(texts[i], kKeys[i]))
            ini.WriteString(kSection, kKeys[i].key, Trimmed(texts[i]));
    }
}

long long OnRig(long long airHz, long long loHz) {
    if (loHz < 0) return -loHz - airHz;
    return airHz - loHz;
}

std::optional<Tuning> Tune(const Settings& settings, const Doppler& doppler) {
    const ModeRow& row = RowOf(settings.mode);
    if (settings.mode == Mode::kNone || settings.skedHz <= 0) return std::nullopt;
    const long double f0 = static_cast<long double>(settings.skedHz);
    Tuning tuning{};
    tuning.receive = std::llround(f0 + row.receiveHome * doppler.home + row.receiveDx * doppler.dx);
    tuning.transmit =
        std::llround(f0 + row.transmitHome * doppler.home + row.transmitDx * doppler.dx) + settings.transmitOffsetHz;
    tuning.rigReceive = OnRig(tuning.receive, settings.loHz);
    tuning.rigTransmit = OnRig(tuning.transmit, settings.loHz);
    return tuning;
}

}  // namespace RadioSettings
