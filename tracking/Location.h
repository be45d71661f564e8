#pragma once

#include <chrono>
#include <functional>
#include <string>

// Where the station stands and what time it is: the two inputs of every position update.
namespace Location {

// The observer, as the last usable locator gave it: degrees, longitude positive west (an eastern
// longitude is negative), latitude positive north.
extern long double Longitude;
extern long double Latitude;

// Takes a Maidenhead locator (Windows-1252 bytes, either letter case) and sets Longitude and
// Latitude to the south-west corner of its six-character sub-square; characters beyond the sixth
// are ignored and nothing is range-checked. A four- or five-character locator gives the centre of
// its square (the fifth character alone does not make a sub-square). Fewer than four characters
// name no usable position: Longitude and Latitude are left alone and the result is false.
bool LocatorToLonLat(std::string locator);

// The UTC clock the program reads.
using ClockFunction = std::function<std::chrono::system_clock::time_point()>;

// Installs a clock (an empty one restores std::chrono::system_clock) and gives back the previous.
ClockFunction SetClock(ClockFunction clock);

// A UTC instant, cut to the millisecond, as a day number: days since 1899-12-30 00:00 plus the
// time of day as a fraction (2000-01-01 00:00 is 36526.0).
double DayNumber(std::chrono::system_clock::time_point instant);

// The clock's current reading as a day number.
double UtcNow();

}  // namespace Location
