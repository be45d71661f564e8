// SPDX-License-Identifier: GPL-3.0-or-later
// What the series of the astronomy library share: polynomials in time, angles held as unit complex numbers
// (cos θ + i sin θ) so that the sines and cosines of many combined arguments come from a few by angle
// addition, and the arcsine of a value that is by construction a sine.
//
// Nothing here checks for faults: a fault raises the processor flag and, where the value has no meaning,
// gives NaN (see astro_math.h); the entry points around a computation check once.
#pragma once

#include <array>
#include <cstddef>

namespace angle_series {

// A polynomial in T (Julian centuries from J2000.0), coefficients in ascending powers. Coefficients printed
// as 1/N are stored as reciprocals, computed at extended precision, so every term is a multiplication.
struct Polynomial {
    long double c0, c1, c2 = 0.0L, c3 = 0.0L, c4 = 0.0L;

    // Horner form; a missing power contributes 0 × T, which is exact for any finite T.
    constexpr long double operator()(long double t) const { return (((c4 * t + c3) * t + c2) * t + c1) * t + c0; }
};

// cos θ + i sin θ: multiplying two adds their angles.
struct UnitTurn {
    double c, s;
};

constexpr UnitTurn operator*(UnitTurn a, UnitTurn b) {
    return {a.c * b.c - a.s * b.s, a.c * b.s + a.s * b.c};
}

// A long double narrowed to double; a value beyond the double range raises the overflow flag and becomes
// an infinity (only absurd day numbers get there).
double Narrow(long double x);

// The angle of `degrees`, reduced to one turn in extended precision before its sine and cosine are taken
// in double precision (the unreduced elements reach 1e7 degrees, where double would lose 1e-10 degree).
UnitTurn TurnOf(long double degrees);

// arcsin x in degrees for an x that is the sine of an angle: rounding can carry it a few units of the last
// place beyond ±1 (a body at the zenith), which must not read as an invalid operation.
long double ArcSinOfSineDeg(long double x);

// The multiples kθ of one angle for k = -N..N.
template <int N>
class AngleMultiples {
public:
    explicit AngleMultiples(long double degrees) {
        const UnitTurn one = TurnOf(degrees);
        turns_[N] = {1.0, 0.0};
        for (int k = 1; k <= N; ++k) {
            turns_[N + k] = turns_[N + k - 1] * one;
            turns_[N - k] = {turns_[N + k].c, -turns_[N + k].s};
        }
    }
    UnitTurn operator[](int k) const { return turns_[static_cast<std::size_t>(k + N)]; }

private:
    std::array<UnitTurn, 2 * N + 1> turns_;
};

}  // namespace angle_series
