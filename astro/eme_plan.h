// SPDX-License-Identifier: GPL-3.0-or-later
// Planning an Earth-Moon-Earth contact: the windows when the Moon stands above the minimum elevations of
// two stations at once, and the Doppler shifts, path loss and echo delay at one instant. Positions are the
// precise topocentric ones of pointing.h, always without refraction.
//
// Day numbers are UTC days since 1899-12-30 00:00; angles are degrees; a fault in the arithmetic throws as
// pointing::PrecisePosition does.
#pragma once

#include <vector>

#include "horizon_mask.h"
#include "pointing.h"

namespace eme_plan {

// The Moon's distance from the Earth's centre at a mean perigee, km: the reference of the path loss.
inline constexpr long double kPerigeeKm = 356400.0L;

// The speed of light, km/s.
inline constexpr long double kLightKmPerSecond = 299792.458L;

// A time when the Moon is above both minimums. A window already running at the start of the search, or
// still running at its end, is cut there and marked.
struct Window {
    double start;  // day number, to within half a second
    double end;
    bool startCut = false;
    bool endCut = false;
    long double highest;    // the Moon's highest elevation at the home station within the window, degrees
    long double dxHighest;  // the same at the DX station
};

// How long a window lasts in whole minutes: its length taken to the second, the seconds left over
// dropped. Every listing of a plan gives this count.
long long WholeMinutes(const Window& window);

// The windows from `from` over `days` days (positive, at most 366), in time order, with the minimum
// elevations (degrees) of the home and the DX station. Every window or gap longer than a few seconds is
// found: the search samples every two minutes and looks closer wherever the Moon comes near enough to a
// minimum to cross it and back between two samples. A horizon mask at home raises its minimum wherever the
// mask stands higher.
std::vector<Window> MutualWindows(double from, double days, const pointing::Station& home, const pointing::Station& dx,
                                  long double minElevation, long double dxMinElevation,
                                  const horizon_mask::Mask& homeMask = {});

// Why two stations have no window over a search (MutualWindows with the same arguments found none):
// whether the Moon rises above each one's minimum at all, and the highest it stands at each while both
// have it above the horizon.
struct Shortfall {
    bool risesAboveMinimum;    // at the home station, at some time of the search
    bool dxRisesAboveMinimum;  // at the DX station
    bool together;             // both have the Moon above the horizon at some time
    long double highest;       // while both have it above the horizon, at the home station, degrees
    long double dxHighest;     // the same at the DX station (both 0 unless `together`)
};
Shortfall WhyNoWindow(double from, double days, const pointing::Station& home, const pointing::Station& dx,
                      long double minElevation, long double dxMinElevation, const horizon_mask::Mask& homeMask = {});

// The rate at which the Moon's distance from a station grows, km/s (negative while it approaches): the
// station turns with the Earth.
long double RangeRate(double utcDayNumber, const pointing::Station& station);

// The frequency received less the frequency sent, Hz, at frequencyHz: of one's own echo, and of a signal
// sent by `home` and received at `dx`.
long double EchoDoppler(double utcDayNumber, const pointing::Station& home, long double frequencyHz);
long double DxDoppler(double utcDayNumber, const pointing::Station& home, const pointing::Station& dx,
                      long double frequencyHz);

// The spreading loss of the path home → Moon → dx over that of the same path with both legs at the
// perigee distance, dB: 20·log10(d_home·d_dx / perigee²), which is 40·log10(d/perigee) for one's own echo.
long double PathLossOverPerigee(double utcDayNumber, const pointing::Station& home, const pointing::Station& dx);
// The same from the two distances, km.
long double SpreadingLossOverPerigee(long double homeDistanceKm, long double dxDistanceKm);

// The time from sending to hearing one's own echo, s.
long double EchoDelay(double utcDayNumber, const pointing::Station& home);

// The Moon's apparent geocentric declination, degrees.
long double MoonDeclination(double utcDayNumber);

}  // namespace eme_plan
