// SPDX-License-Identifier: GPL-3.0-or-later
#include "Location.h"

#include <cstddef>
#include <iterator>
#include <utility>

namespace Location {

long double Longitude = 0.0L;
long double Latitude = 0.0L;

namespace {

// Day number of 1970-01-01, where std::chrono::system_clock counts from.
constexpr double kUnixEpochDayNumber = 25569.0;
constexpr double kMillisecondsPerDay = 86400000.0;

// Four characters give a Maidenhead square, 2 degrees of longitude by 1 of latitude. Its centre is
// the south-west corner of sub-square "MM": 12/12 degree east and 12/24 degree north of the corner.
constexpr char kSquareCentreSubsquare[] = "MM";
constexpr std::size_t kLocatorLength = 6;
constexpr std::size_t kSquareLength = 4;

// The characters each place of a six-character locator may hold, upper case.
struct LocatorPlace {
    char first, last;
    const char* rule;
};
constexpr LocatorPlace kLocatorPlaces[] = {
    {'A', 'R', "a field letter A-R"},       // field, 20 by 10 degrees
    {'A', 'R', "a field letter A-R"},       //
    {'0', '9', "a square digit 0-9"},       // square, 2 by 1
    {'0', '9', "a square digit 0-9"},       //
    {'A', 'X', "a sub-square letter A-X"},  // sub-square, 1/12 by 1/24
    {'A', 'X', "a sub-square letter A-X"},  //
};
static_assert(std::size(kLocatorPlaces) == kLocatorLength);

int UpperCase(char character) {
    int code = static_cast<unsigned char>(character);
    if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
    return code;
}

Instant SystemClock() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

ClockFunction& InstalledClock() {
    static ClockFunction clock = SystemClock;
    return clock;
}

}  // namespace

std::size_t LocatorFault(const std::string& locator) {
    if (locator.size() < kSquareLength) return locator.size();
    const std::size_t used = locator.size() < kLocatorLength ? kSquareLength : kLocatorLength;
    for (std::size_t i = 0; i < used; ++i) {
        const int code = UpperCase(locator[i]);
        if (code < kLocatorPlaces[i].first || code > kLocatorPlaces[i].last) return i;
    }
    return std::string::npos;
}

const char* LocatorRule(std::size_t index) {
    return index < kLocatorLength ? kLocatorPlaces[index].rule : "";
}

bool LocatorToLonLat(std::string locator) {
    if (LocatorFault(locator) != std::string::npos) return false;
    if (locator.size() < kLocatorLength) locator = locator.substr(0, kSquareLength) + kSquareCentreSubsquare;

    int c[kLocatorLength + 1] = {};  // character codes c[1] .. c[6]
    for (std::size_t i = 0; i < kLocatorLength; ++i) c[i + 1] = UpperCase(locator[i]);
    // Field (20 by 10 degrees), square (2 by 1), sub-square (1/12 by 1/24); the whole-degree terms
    // are summed as integers before the fraction is added.
    const int eastDegrees = (c[1] - 65) * 20 - 180 + (c[3] - 48) * 2;
    const long double east = eastDegrees + (c[5] - 65) * (1.0L / 12.0L);
    const int northDegrees = (c[2] - 65) * 10 - 90 + (c[4] - 48);
    Longitude = -east;
    Latitude = northDegrees + (c[6] - 65) * (1.0L / 24.0L);
    return true;
}

ClockFunction SetClock(ClockFunction clock) {
    if (!clock) clock = SystemClock;
    return std::exchange(InstalledClock(), std::move(clock));
}

double DayNumber(Instant instant) {
    using namespace std::chrono;
    const auto millisecond = floor<milliseconds>(instant);
    const auto day = floor<days>(millisecond);
    const auto timeOfDay = millisecond - day;
    return (static_cast<double>(day.time_since_epoch().count()) + kUnixEpochDayNumber) +
           static_cast<double>(timeOfDay.count()) / kMillisecondsPerDay;
}

double UtcNow() {
    return DayNumber(Now());
}

Instant Now() {
    return InstalledClock()();
}

}  // namespace Location
