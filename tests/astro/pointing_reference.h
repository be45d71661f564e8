// SPDX-License-Identifier: GPL-3.0-or-later
// The reference positions of the Moon and the Sun computed by astropy (scripts/make-pointing-reference.py):
// the cases of the precise pointing test and of the accuracy program.
#pragma once

#include <string>
#include <vector>

namespace pointing_reference {

struct Case {
    std::string utc;   // ISO 8601, for messages
    double dayNumber;  // UTC
    long double latitude, longitudeEast, heightMetres;
    long double moonAzimuth, moonElevation, sunAzimuth, sunElevation;  // degrees
};

// Reads the committed table; throws std::runtime_error naming the file and line when it cannot.
std::vector<Case> Load();

// The table's path in the source tree.
std::string Path();

// The separation of two directions, in degrees, along the two axes a dish moves: elevation, and azimuth
// scaled by cos(elevation) (what an azimuth error amounts to on the sky).
struct Error {
    long double elevation;
    long double azimuthOnSky;
};
Error Compare(long double elevation, long double azimuth, long double referenceElevation, long double referenceAzimuth);

}  // namespace pointing_reference
