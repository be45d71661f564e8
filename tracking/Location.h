// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// Where the station stands and what time it is: the two inputs of every position update.
namespace Location {

// The observer, as the last usable locator gave it: degrees, longitude positive west (an eastern
// longitude is negative), latitude positive north.
extern long double Longitude;
extern long double Latitude;

// Where a Maidenhead locator (Windows-1252 bytes, either letter case) fails to name a place: the
// index of the first character it needs that is missing (fewer than four characters) or lies
// outside its range (field A-R, square 0-9, sub-square A-X); std::string::npos when it names one.
// Four or five characters use only the field and the square; characters beyond the sixth are never
// used.
std::size_t LocatorFault(const std::string& locator);

// What the character at index (0 to 5) of a locator must be, e.g. "a field letter A-R".
const char* LocatorRule(std::size_t index);

// Takes a Maidenhead locator and sets Longitude and Latitude to the south-west corner of its
// six-character sub-square; characters beyond the sixth are ignored. A four- or five-character
// locator gives the centre of its square (the fifth character alone does not make a sub-square).
// A locator that names no place (see LocatorFault) leaves Longitude and Latitude alone and gives
// false: a typed zero for the letter O must not turn the antenna elsewhere.
bool LocatorToLonLat(std::string locator);

// A UTC instant in microseconds: unlike the system clock's nanoseconds, a 64-bit count reaches every
// date from year 1 to 9999 (and far beyond).
using Instant = std::chrono::sys_time<std::chrono::microseconds>;

// The UTC clock the program reads.
using ClockFunction = std::function<Instant()>;

// Installs a clock (an empty one restores std::chrono::system_clock) and gives back the previous.
ClockFunction SetClock(ClockFunction clock);

// A UTC instant, cut to the millisecond, as a day number: days since 1899-12-30 00:00 plus the
// time of day as a fraction (2000-01-01 00:00 is 36526.0).
double DayNumber(Instant instant);

// The clock's current reading as a day number.
double UtcNow();

// The clock's current reading.
Instant Now();

}  // namespace Location
