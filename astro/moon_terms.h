// Constant data of the lunar theory and of the nutation series: the periodic terms of the truncated
// ELP-2000/82 theory (Meeus, Astronomical Algorithms, tables 47.A and 47.B, in their printed row order),
// the first 31 rows of the IAU 1980 nutation series (table 22.A) and the polynomials of the mean elements.
#pragma once

#include <cstdint>
#include <iterator>

namespace moon {

// A polynomial in T (Julian centuries from J2000.0), coefficients in ascending powers. Coefficients printed
// as 1/N are stored as reciprocals, computed here at extended precision, so every term is a multiplication.
struct Polynomial {
    long double c0, c1, c2 = 0.0L, c3 = 0.0L, c4 = 0.0L;

    // Horner form; a missing power contributes 0 × T, which is exact for any finite T.
    constexpr long double operator()(long double t) const {
        return (((c4 * t + c3) * t + c2) * t + c1) * t + c0;
    }
};

// Mean elements of the lunar theory, in degrees (not reduced to one turn).
inline constexpr Polynomial kMeanElongation{297.8502042L, 445267.1115168L, -0.00163L, 1.0L / 545868,
                                            -1.0L / 113065000};
inline constexpr Polynomial kSunMeanAnomaly{357.5291092L, 35999.0502909L, -0.0001536L, 1.0L / 24490000};
inline constexpr Polynomial kMoonMeanAnomaly{134.9634114L, 477198.8676313L, 0.008997L, 1.0L / 69699,
                                             -1.0L / 14712000};
inline constexpr Polynomial kArgumentOfLatitude{93.2720993L, 483202.0175273L, -0.0034029L, -1.0L / 3526000,
                                                1.0L / 863310000};
inline constexpr Polynomial kMoonMeanLongitude{218.3164591L, 481267.88134236L, -0.0013268L, 1.0L / 538841,
                                               -1.0L / 65194000};
inline constexpr Polynomial kVenusArgument{119.75L, 131.849L};                   // A1
inline constexpr Polynomial kJupiterArgument{53.09L, 479264.29L};                // A2
inline constexpr Polynomial kFlatteningArgument{313.45L, 481266.484L};           // A3
inline constexpr Polynomial kEccentricityFactor{1.0L, -0.002516L, -0.0000074L};  // E, dimensionless

// Fundamental arguments of the nutation series, in degrees.
inline constexpr Polynomial kNutationNode{125.04452L, -1934.136261L, 0.0020708L, 1.0L / 450000};
inline constexpr Polynomial kNutationElongation{297.85036L, 445267.11148L, -0.0019142L, 1.0L / 189474};
inline constexpr Polynomial kNutationSunAnomaly{357.52772L, 35999.05034L, -0.0001603L, -1.0L / 300000};
inline constexpr Polynomial kNutationMoonAnomaly{134.96298L, 477198.867398L, 0.0086972L, 1.0L / 56250};
inline constexpr Polynomial kNutationLatitude{93.27191L, 483202.017538L, -0.0036825L, 1.0L / 327270};

// Mean obliquity of the ecliptic, in seconds of arc.
inline constexpr Polynomial kMeanObliquity{84381.448L, -46.815L, -0.00059L, 0.001813L};

// One row of the longitude and distance series: multipliers of D, M, M', F; Σl in 1e-6 degree, Σr in 1e-3 km.
struct LongitudeDistanceTerm {
    std::int8_t d, m, mPrime, f;
    std::int32_t sigmaL, sigmaR;
};

// One row of the latitude series: multipliers of D, M, M', F; Σb in 1e-6 degree.
struct LatitudeTerm {
    std::int8_t d, m, mPrime, f;
    std::int32_t sigmaB;
};

// One row of the nutation series: multipliers of D, M, M', F, Ω; coefficients (constant + 0.1 × rate × T)
// in 0.0001 second of arc.
struct NutationTerm {
    std::int8_t d, m, mPrime, f, omega;
    std::int32_t psiConstant, psiRate, epsilonConstant, epsilonRate;
};

// One published row a line.
// clang-format off
inline constexpr LongitudeDistanceTerm kLongitudeDistanceTerms[] = {
    { 0,  0,  1,  0,  6288774, -20905355},
    { 2,  0, -1,  0,  1274027,  -3699111},
    { 2,  0,  0,  0,   658314,  -2955968},
    { 0,  0,  2,  0,   213618,   -569925},
    { 0,  1,  0,  0,  -185116,     48888},
    { 0,  0,  0,  2,  -114332,     -3149},
    { 2,  0, -2,  0,    58793,    246158},
    { 2, -1, -1,  0,    57066,   -152138},
    { 2,  0,  1,  0,    53322,   -170733},
    { 2, -1,  0,  0,    45758,   -204586},
    { 0,  1, -1,  0,   -40923,   -129620},
    { 1,  0,  0,  0,   -34720,    108743},
    { 0,  1,  1,  0,   -30383,    104755},
    { 2,  0,  0, -2,    15327,     10321},
    { 0,  0,  1,  2,   -12528,         0},
    { 0,  0,  1, -2,    10980,     79661},
    { 4,  0, -1,  0,    10675,    -34782},
    { 0,  0,  3,  0,    10034,    -23210},
    { 4,  0, -2,  0,     8548,    -21636},
    { 2,  1, -1,  0,    -7888,     24208},
    { 2,  1,  0,  0,    -6766,     30824},
    { 1,  0, -1,  0,    -5163,     -8379},
    { 1,  1,  0,  0,     4987,    -16675},
    { 2, -1,  1,  0,     4036,    -12831},
    { 2,  0,  2,  0,     3994,    -10445},
    { 4,  0,  0,  0,     3861,    -11650},
    { 2,  0, -3,  0,     3665,     14403},
    { 0,  1, -2,  0,    -2689,     -7003},
    { 2,  0, -1,  2,    -2602,         0},
    { 2, -1, -2,  0,     2390,     10056},
    { 1,  0,  1,  0,    -2348,      6322},
    { 2, -2,  0,  0,     2236,     -9884},
    { 0,  1,  2,  0,    -2120,      5751},
    { 0,  2,  0,  0,    -2069,         0},
    { 2, -2, -1,  0,     2048,     -4950},
    { 2,  0,  1, -2,    -1773,      4130},
    { 2,  0,  0,  2,    -1595,         0},
    { 4, -1, -1,  0,     1215,     -3958},
    { 0,  0,  2,  2,    -1110,         0},
    { 3,  0, -1,  0,     -892,      3258},
    { 2,  1,  1,  0,     -810,      2616},
    { 4, -1, -2,  0,      759,     -1897},
    { 0,  2, -1,  0,     -713,     -2117},
    { 2,  2, -1,  0,     -700,      2354},
    { 2,  1, -2,  0,      691,         0},
    { 2, -1,  0, -2,      596,         0},
    { 4,  0,  1,  0,      549,     -1423},
    { 0,  0,  4,  0,      537,     -1117},
    { 4, -1,  0,  0,      520,     -1571},
    { 1,  0, -2,  0,     -487,     -1739},
    { 2,  1,  0, -2,     -399,         0},
    { 0,  0,  2, -2,     -381,     -4421},
    { 1,  1,  1,  0,      351,         0},
    { 3,  0, -2,  0,     -340,         0},
    { 4,  0, -3,  0,      330,         0},
    { 2, -1,  2,  0,      327,         0},
    { 0,  2,  1,  0,     -323,      1165},
    { 1,  1, -1,  0,      299,         0},
    { 2,  0,  3,  0,      294,         0},
    { 2,  0, -1, -2,        0,      8752},
};
static_assert(std::size(kLongitudeDistanceTerms) == 60, "rows of the published table");

inline constexpr LatitudeTerm kLatitudeTerms[] = {
    { 0,  0,  0,  1,  5128122},
    { 0,  0,  1,  1,   280602},
    { 0,  0,  1, -1,   277693},
    { 2,  0,  0, -1,   173237},
    { 2,  0, -1,  1,    55413},
    { 2,  0, -1, -1,    46271},
    { 2,  0,  0,  1,    32573},
    { 0,  0,  2,  1,    17198},
    { 2,  0,  1, -1,     9266},
    { 0,  0,  2, -1,     8822},
    { 2, -1,  0, -1,     8216},
    { 2,  0, -2, -1,     4324},
    { 2,  0,  1,  1,     4200},
    { 2,  1,  0, -1,    -3359},
    { 2, -1, -1,  1,     2463},
    { 2, -1,  0,  1,     2211},
    { 2, -1, -1, -1,     2065},
    { 0,  1, -1, -1,    -1870},
    { 4,  0, -1, -1,     1828},
    { 0,  1,  0,  1,    -1794},
    { 0,  0,  0,  3,    -1749},
    { 0,  1, -1,  1,    -1565},
    { 1,  0,  0,  1,    -1491},
    { 0,  1,  1,  1,    -1475},
    { 0,  1,  1, -1,    -1410},
    { 0,  1,  0, -1,    -1344},
    { 1,  0,  0, -1,    -1335},
    { 0,  0,  3,  1,     1107},
    { 4,  0,  0, -1,     1021},
    { 4,  0, -1,  1,      833},
    { 0,  0,  1, -3,      777},
    { 4,  0, -2,  1,      671},
    { 2,  0,  0, -3,      607},
    { 2,  0,  2, -1,      596},
    { 2, -1,  1, -1,      491},
    { 2,  0, -2,  1,     -451},
    { 0,  0,  3, -1,      439},
    { 2,  0,  2,  1,      422},
    { 2,  0, -3, -1,      421},
    { 2,  1, -1,  1,     -366},
    { 2,  1,  0,  1,     -351},
    { 4,  0,  0,  1,      331},
    { 2, -1,  1,  1,      315},
    { 2, -2,  0, -1,      302},
    { 0,  0,  1,  3,     -283},
    { 2,  1,  1, -1,     -229},
    { 1,  1,  0, -1,      223},
    { 1,  1,  0,  1,      223},
    { 0,  1, -2, -1,     -220},
    { 2,  1, -1, -1,     -220},
    { 1,  0,  1,  1,     -185},
    { 2, -1, -2, -1,      181},
    { 0,  1,  2,  1,     -177},
    { 4,  0, -2, -1,      176},
    { 4, -1, -1, -1,      166},
    { 1,  0,  1, -1,     -164},
    { 4,  0,  1, -1,      132},
    { 1,  0, -1, -1,     -119},
    { 4, -1,  0, -1,      115},
    { 2, -2,  0,  1,      107},
};
static_assert(std::size(kLatitudeTerms) == 60, "rows of the published table");

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

}  // namespace moon
