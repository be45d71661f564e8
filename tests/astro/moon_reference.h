// SPDX-License-Identifier: GPL-3.0-or-later
// A plain extended-precision evaluation of the lunar theory, the nutation and the horizontal position, term
// by term through the degree helpers with every element left unreduced. It is the yardstick for the
// library's faster evaluation of the same formulas.
#pragma once

#include "moon.h"

namespace moon_reference {

// Δψ and the true obliquity ε, degrees.
void Nutation(double dayNumber, long double& deltaPsi, long double& epsilon);

// Σl, Σb (1e-6 degree) and Σr (1e-3 km) with their additive terms.
moon::LunarTermSums PeriodicSums(const moon::LunarElements& elements);

// Geometric λ (unreduced), β and distance; the other fields are left zero.
moon::MoonCoordinates GeometricPosition(double dayNumber);

// Every field: apparent λ, β, distance, α, δ, h and A for the observer.
moon::MoonCoordinates FullPosition(double dayNumber, long double longitudeWest, long double latitude);

// Apparent sidereal time at Greenwich, degrees.
long double ApparentSiderealTime(double dayNumber);

}  // namespace moon_reference
