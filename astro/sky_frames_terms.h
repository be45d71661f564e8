// SPDX-License-Identifier: GPL-3.0-or-later
// Constant data of the nutation: the first 31 rows of the IAU 1980 nutation series (Meeus, Astronomical
// Algorithms, table 22.A, in its printed row order), the polynomials of its fundamental arguments and the
// mean obliquity of the ecliptic.
#pragma once

#include <cstdint>
#include <iterator>

#include "angle_series.h"

namespace sky_frames {

using angle_series::Polynomial;

// Fundamental arguments of the nutation series, in degrees.
inline constexpr Polynomial kNutationNode{125.04452L, -1934.136261L, 0.0020708L, 1.0L / 450000};
inline constexpr Polynomial kNutationElongation{297.85036L, 445267.11148L, -0.0019142L, 1.0L / 189474};
inline constexpr Polynomial kNutationSunAnomaly{357.52772L, 35999.05034L, -0.0001603L, -1.0L / 300000};
inline constexpr Polynomial kNutationMoonAnomaly{134.96298L, 477198.867398L, 0.0086972L, 1.0L / 56250};
inline constexpr Polynomial kNutationLatitude{93.27191L, 483202.017538L, -0.0036825L, 1.0L / 327270};

// Mean obliquity of the ecliptic, in seconds of arc.
inline constexpr Polynomial kMeanObliquity{84381.448L, -46.815L, -0.00059L, 0.001813L};

// One row of the nutation series: multipliers of D, M, M', F, Ω; coefficients (constant + 0.1 × rate × T)
// in 0.0001 second of arc.
struct NutationTerm {
    std::int8_t d, m, mPrime, f, omega;
    std::int32_t psiConstant, psiRate, epsilonConstant, epsilonRate;
};

// One published row a line.
// clang-format off
inline constexpr NutationTerm kNutationTerms[] = {
    { 0,  0,  0,  0,  1, -171996, -1742,  92025,  89},
    {-2,  0,  0,  2,  2,  -13187,   -16,   5736, -31},
    { 0,  0,  0,  2,  2,   -2274,    -2,    977,  -5},
    { 0,  0,  0,  0,  2,    2062,     2,   -895,   5},
    { 0,  1,  0,  0,  0,    1426,   -34,     54,  -1},
    { 0,  0,  1,  0,  0,     712,     1,     -7,   0},
    {-2,  1,  0,  2,  2,    -517,    12,    224,  -6},
    { 0,  0,  0,  2,  1,    -386,    -4,    200,   0},
    { 0,  0,  1,  2,  2,    -301,     0,    129,  -1},
    {-2, -1,  0,  2,  2,     217,    -5,    -95,   3},
    {-2,  0,  1,  0,  0,    -158,     0,      0,   0},
    {-2,  0,  0,  2,  1,     129,     1,    -70,   0},
    { 0,  0, -1,  2,  2,     123,     0,    -53,   0},
    { 2,  0,  0,  0,  0,      63,     0,      0,   0},
    { 0,  0,  1,  0,  1,      63,     1,    -33,   0},
    { 2,  0, -1,  2,  2,     -59,     0,     26,   0},
    { 0,  0, -1,  0,  1,     -58,    -1,     32,   0},
    { 0,  0,  1,  2,  1,     -51,     0,     27,   0},
    {-2,  0,  2,  0,  0,      48,     0,      0,   0},
    { 0,  0, -2,  2,  1,      46,     0,    -24,   0},
    { 2,  0,  0,  2,  2,     -38,     0,     16,   0},
    { 0,  0,  2,  2,  2,     -31,     0,     13,   0},
    { 0,  0,  2,  0,  0,      29,     0,      0,   0},
    {-2,  0,  1,  2,  2,      29,     0,    -12,   0},
    { 0,  0,  0,  2,  0,      26,     0,      0,   0},
    {-2,  0,  0,  2,  0,     -22,     0,      0,   0},
    { 0,  0, -1,  2,  1,      21,     0,    -10,   0},
    { 0,  2,  0,  0,  0,      17,    -1,      0,   0},
    { 2,  0, -1,  0,  1,      16,     0,     -8,   0},
    {-2,  2,  0,  2,  2,     -16,     1,      7,   0},
    { 0,  1,  0,  0,  1,     -15,     0,      9,   0},
};
static_assert(std::size(kNutationTerms) == 31, "rows of the published table");
// clang-format on

}  // namespace sky_frames
