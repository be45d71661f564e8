// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationSettings.h"

#include <iterator>
#include <limits>

#include "IniFile.h"

namespace StationSettings {

namespace {

constexpr char kLog[] = "Log";
constexpr char kPeriod[] = "Period";
constexpr int32_t kLongestPeriod = 3600;
constexpr char kLeft[] = "Left";
constexpr char kTop[] = "Top";
constexpr char kWidth[] = "Width";
constexpr char kHeight[] = "Height";
constexpr char kRetrySeconds[] = "RetrySeconds";
constexpr char kResumeTracking[] = "ResumeTracking";
constexpr char kTracking[] = "Tracking";
constexpr int32_t kMissing = std::numeric_limits<int32_t>::min();

}  // namespace

std::vector<std::string> KeyNames() {
    return {std::begin(kKeys), std::end(kKeys)};
}

bool LogEnabled(const std::string& settingsFile) {
    return TIniFile(settingsFile).ReadInteger(kSection, kLog, 1) != 0;
}

int32_t PeriodSeconds(const std::string& settingsFile) {
    const int32_t period = TIniFile(settingsFile).ReadInteger(kSection, kPeriod, kDefaultPeriod);
    return period >= 1 && period <= kLongestPeriod ? period : kDefaultPeriod;
}

int32_t RetrySeconds(const std::string& settingsFile) {
    const int32_t seconds = TIniFile(settingsFile).ReadInteger(kSection, kRetrySeconds, 0);
    return seconds >= 0 && seconds <= kMostRetrySeconds ? seconds : 0;
}

bool ResumeTracking(const std::string& settingsFile) {
    return TIniFile(settingsFile).ReadInteger(kSection, kResumeTracking, 0) == 1;
}

bool TrackingWasOn(const std::string& settingsFile) {
    return TIniFile(settingsFile).ReadInteger(kSection, kTracking, 0) == 1;
}

void WriteTracking(const std::string& settingsFile, bool on) {
    TIniFile(settingsFile).WriteInteger(kSection, kTracking, on ? 1 : 0);
}

std::optional<WindowPlace> ReadWindowPlace(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    const WindowPlace place{ini.ReadInteger(kSection, kLeft, kMissing), ini.ReadInteger(kSection, kTop, kMissing),
                            ini.ReadInteger(kSection, kWidth, kMissing), ini.ReadInteger(kSection, kHeight, kMissing)};
    if (place.Left == kMissing || place.Top == kMissing || place.Width <= 0 || place.Height <= 0) {
        return std::nullopt;
    }
    return place;
}

void WriteWindowPlace(const std::string& settingsFile, const WindowPlace& place) {
    TIniFile ini(settingsFile);
    ini.WriteInteger(kSection, kLeft, place.Left);
    ini.WriteInteger(kSection, kTop, place.Top);
    ini.WriteInteger(kSection, kWidth, place.Width);
    ini.WriteInteger(kSection, kHeight, place.Height);
}

}  // namespace StationSettings
