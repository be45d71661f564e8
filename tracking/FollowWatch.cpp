// SPDX-License-Identifier: GPL-3.0-or-later
#include "FollowWatch.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "IniFile.h"
#include "StationSettings.h"

namespace FollowWatch {

namespace {

constexpr char kFollowLimit[] = "FollowLimit";
constexpr char kFollowTime[] = "FollowTime";
constexpr char kFollowAction[] = "FollowAction";

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool SameLetters(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lower[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<double> ParseLimit(std::string_view text) {
    text = Trimmed(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || value < 0.0 || value > kLargestLimit) return std::nullopt;
    return value;
}

std::optional<int> ParseSeconds(std::string_view text) {
    text = Trimmed(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > kLongestSeconds) return std::nullopt;
    return value;
}

std::optional<Action> ParseAction(std::string_view text) {
    text = Trimmed(text);
    for (const Action action : {Action::kReport, Action::kStop, Action::kPark}) {
        if (SameLetters(text, ActionText(action))) return action;
    }
    return std::nullopt;
}

const char* ActionText(Action action) {
    switch (action) {
        case Action::kStop:
            return "stop";
        case Action::kPark:
            return "park";
        case Action::kReport:
            break;
    }
    return "report";
}

Settings Load(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Settings settings;
    const char* section = StationSettings::kSection;
    if (const auto limit = ParseLimit(ini.ReadString(section, kFollowLimit, ""))) settings.limitDegrees = *limit;
    if (const auto seconds = ParseSeconds(ini.ReadString(section, kFollowTime, ""))) settings.seconds = *seconds;
    if (const auto action = ParseAction(ini.ReadString(section, kFollowAction, ""))) settings.action = *action;
    return settings;
}

double Gap(double commanded, double actual, bool wraps) {
    double gap = std::fabs(commanded - actual);
    if (wraps) {
        gap = std::fmod(gap, 360.0);
        if (gap > 180.0) gap = 360.0 - gap;
    }
    return gap;
}

Change Watch::Observe(const Settings& settings, double commanded, double actual, bool wraps, Clock::time_point now) {
    commanded_ = commanded;
    actual_ = actual;
    latest_ = now;
    const double limit = settings.limitDegrees;
    const double gap = Gap(commanded, actual, wraps);
    if (limit <= 0.0 || gap <= limit) {
        const bool wasAlarmed = alarmed_;
        Reset();
        return wasAlarmed ? Change::kCleared : Change::kNone;
    }
    // Progress counts along either way of measuring: the straight difference (a rotator with a stop
    // at north turning the long way round, 0 to 300) or around the circle (one that reads -60 for 300).
    const double straight = std::fabs(commanded - actual);
    if (!watching_ || gap <= referenceGap_ - limit || straight <= referenceStraight_ - limit) {
        watching_ = true;
        referenceGap_ = gap;
        referenceStraight_ = straight;
        since_ = now;
    } else {
        // The target moved away (the Moon's own motion, a new command): the rotator has to make
        // its progress from the larger gap, within the time already running.
        if (gap > referenceGap_) referenceGap_ = gap;
        if (straight > referenceStraight_) referenceStraight_ = straight;
    }
    if (!alarmed_ && now - since_ >= std::chrono::seconds(settings.seconds)) {
        alarmed_ = true;
        return Change::kAlarm;
    }
    return Change::kNone;
}

void Watch::Reset() {
    watching_ = false;
    alarmed_ = false;
    referenceGap_ = 0.0;
    referenceStraight_ = 0.0;
}

std::chrono::seconds Watch::Stuck() const {
    if (!watching_) return std::chrono::seconds(0);
    return std::chrono::duration_cast<std::chrono::seconds>(latest_ - since_);
}

std::string AlarmText(const char* axisName, const Watch& watch) {
    char text[160];
    std::snprintf(text, sizeof text, "%s rotator not following - commanded %.1f, at %.1f for %lld s", axisName,
                  watch.Commanded(), watch.Actual(), static_cast<long long>(watch.Stuck().count()));
    return text;
}

}  // namespace FollowWatch
