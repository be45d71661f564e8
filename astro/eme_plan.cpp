// SPDX-License-Identifier: GPL-3.0-or-later
#include "eme_plan.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "astro_time.h"
#include "moon.h"

namespace eme_plan {

namespace {

constexpr double kSecond = 1.0 / 86400;
constexpr double kCoarseStep = 120 * kSecond;
// Without a horizon mask the search first looks at blocks of this many samples and opens a block only
// where something may happen in it: a change of state, or a sample higher than the best one of the open
// window. Skipped samples could have changed nothing, so the windows are those of the sample-by-sample
// search to the last bit. (Under a mask the home minimum follows the azimuth, whose swing over a block is
// not bounded by the mask's span between its ends, so the mask is searched sample by sample.)
constexpr long kBlockSamples = 16;
// The Moon's elevation changes by less than a quarter of a degree a minute: the Earth turns it through its
// hour angle by at most 0.242 degrees a minute, its declination and parallax change by hundredths of that.
// Between two samples the margin of one station can therefore not gain or lose more than this rate times
// the interval, which tells where a window (or a gap in one) might hide between samples.
constexpr long double kMostDegreesPerDay = 0.3L * 1440;
// Intervals that might hide a change of state are split down to this length.
constexpr double kFinestStep = 2 * kSecond;
// Half the span of the central difference of the range rate: the Moon's distance is smooth over seconds,
// and a longer span keeps the rounding of the day number (microseconds) out of the rate.
constexpr double kRateHalfSpanSeconds = 5;

const pointing::Atmosphere kNoRefraction{};

long double Elevation(double dayNumber, const pointing::Station& station) {
    return pointing::PrecisePosition(pointing::Target::Moon, dayNumber, station, kNoRefraction).elevation;
}

pointing::Direction MoonAt(double dayNumber, const pointing::Station& station) {
    return pointing::PrecisePosition(pointing::Target::Moon, dayNumber, station, kNoRefraction);
}

long double Distance(double dayNumber, const pointing::Station& station) {
    return pointing::PrecisePosition(pointing::Target::Moon, dayNumber, station, kNoRefraction).distanceKm;
}

struct Sample {
    double at;
    long double elevation, dxElevation;
    long double azimuth;  // at the home station, for its horizon mask
};

struct Planner {
    const pointing::Station& home;
    const pointing::Station& dx;
    long double minElevation, dxMinElevation;
    const horizon_mask::Mask& mask;
    // A station paired with itself (its own hours above the minimum) has one Moon to compute, not two.
    bool oneStation =
        home.latitude == dx.latitude && home.longitudeEast == dx.longitudeEast && home.heightMetres == dx.heightMetres;

    Sample At(double dayNumber) const {
        const pointing::Direction moon = MoonAt(dayNumber, home);
        return {dayNumber, moon.elevation, oneStation ? moon.elevation : Elevation(dayNumber, dx), moon.azimuth};
    }

    // The home station's lowest usable elevation where the Moon stands.
    long double HomeMinimum(const Sample& sample) const { return mask.Lowest(sample.azimuth, minElevation); }

    bool Both(const Sample& sample) const {
        return sample.elevation > HomeMinimum(sample) && sample.dxElevation > dxMinElevation;
    }

    // Whether the state (both up or not) might change and change back between a and b, which have the
    // same state: the Moon can dip under a minimum and return only if the two margins above it add up to
    // less than the elevation it can travel, and a window can open between two samples outside only if
    // each station can climb out of its deficit at both ends. Under a horizon mask the home minimum moves
    // with the azimuth: a dip is judged against its highest between the samples, a rise against its lowest.
    bool MayHideChange(const Sample& a, const Sample& b) const {
        const long double reach = kMostDegreesPerDay * (b.at - a.at);
        long double dipMinimum = minElevation, riseMinimum = minElevation;
        if (!mask.Empty()) {
            const horizon_mask::Mask::Span span = mask.Along(a.azimuth, b.azimuth);
            dipMinimum = std::max(minElevation, span.high);
            riseMinimum = std::max(minElevation, span.low);
        }
        const long double homeMinimum = Both(a) ? dipMinimum : riseMinimum;
        const long double home0 = a.elevation - homeMinimum, home1 = b.elevation - homeMinimum;
        const long double dx0 = a.dxElevation - dxMinElevation, dx1 = b.dxElevation - dxMinElevation;
        if (Both(a)) return home0 + home1 <= reach || dx0 + dx1 <= reach;
        const auto deficit = [](long double margin) { return std::max(0.0L, -margin); };
        return deficit(home0) + deficit(home1) < reach && deficit(dx0) + deficit(dx1) < reach;
    }

    // The instant between a and b (one in, one out of the window) where the window begins or ends, to the
    // second.
    double Edge(Sample a, Sample b) const {
        const bool aInside = Both(a);
        while (b.at - a.at > 0.5 * kSecond) {
            const Sample middle = At(a.at + (b.at - a.at) / 2);
            (Both(middle) == aInside ? a : b) = middle;
        }
        return a.at + (b.at - a.at) / 2;
    }

    // The highest elevation at a station between two instants, searching around the best coarse sample
    // by golden section (the elevation has one maximum within a few minutes).
    long double Highest(const pointing::Station& station, double around, double lower, double upper) const {
        double a = std::max(lower, around - kCoarseStep), b = std::min(upper, around + kCoarseStep);
        constexpr double kGolden = 0.6180339887498949;
        while (b - a > kSecond) {
            const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
            if (Elevation(c, station) < Elevation(d, station)) {
                a = c;
            } else {
                b = d;
            }
        }
        return std::max({Elevation(a, station), Elevation(lower, station), Elevation(upper, station)});
    }
};

}  // namespace

long long WholeMinutes(const Window& window) {
    constexpr long long kSecondsPerDay = 86400, kSecondsPerMinute = 60;
    return std::llround((window.end - window.start) * kSecondsPerDay) / kSecondsPerMinute;
}

std::vector<Window> MutualWindows(double from, double days, const pointing::Station& home, const pointing::Station& dx,
                                  long double minElevation, long double dxMinElevation,
                                  const horizon_mask::Mask& homeMask) {
    if (!(days > 0 && days <= 366)) throw std::invalid_argument("the number of days must be from 1 to 366");
    const Planner planner{home, dx, minElevation, dxMinElevation, homeMask};
    const double until = from + days;
    std::vector<Window> windows;
    Sample previous = planner.At(from);
    bool open = planner.Both(previous);
    Window window{};
    double bestHome = from, bestDx = from;
    long double bestHomeElevation = previous.elevation, bestDxElevation = previous.dxElevation;
    if (open) {
        window.start = from;
        window.startCut = true;
    }
    const auto close = [&](double end, bool cut) {
        window.end = end;
        window.endCut = cut;
        window.highest = planner.Highest(home, bestHome, window.start, end);
        window.dxHighest =
            planner.oneStation && bestDx == bestHome ? window.highest : planner.Highest(dx, bestDx, window.start, end);
        windows.push_back(window);
        window = Window{};
    };
    // Takes the search from one sample to the next, splitting the interval while a change might hide in it.
    const auto advance = [&](const Sample& a, const Sample& b, const auto& self) -> void {
        if (planner.Both(a) == planner.Both(b) && b.at - a.at > kFinestStep && planner.MayHideChange(a, b)) {
            const Sample middle = planner.At(a.at + (b.at - a.at) / 2);
            self(a, middle, self);
            self(middle, b, self);
            return;
        }
        const bool inside = planner.Both(b);
        if (inside != open) {
            const double edge = planner.Edge(a, b);
            if (inside) {
                window.start = edge;
                bestHome = bestDx = b.at;
                bestHomeElevation = b.elevation;
                bestDxElevation = b.dxElevation;
            } else {
                close(edge, false);
            }
            open = inside;
        } else if (open) {
            if (b.elevation > bestHomeElevation) bestHome = b.at, bestHomeElevation = b.elevation;
            if (b.dxElevation > bestDxElevation) bestDx = b.at, bestDxElevation = b.dxElevation;
        }
    };
    // The samples lie every kCoarseStep from `from`, the last one at `until`.
    const auto sampleTime = [&](long step) { return std::min(until, from + static_cast<double>(step) * kCoarseStep); };
    long lastStep = 1;
    while (sampleTime(lastStep) < until) ++lastStep;
    // Whether a sample between a and b might stand higher than the best one so far of the open window: the
    // elevation between them lies under both lines climbing from a and from b at the most rate.
    const auto mayTopBest = [&](const Sample& a, const Sample& b) {
        const long double reach = kMostDegreesPerDay * (b.at - a.at);
        return (a.elevation + b.elevation + reach) / 2 > bestHomeElevation ||
               (a.dxElevation + b.dxElevation + reach) / 2 > bestDxElevation;
    };
    // Takes the search across the samples from step `first` (a) to step `last` (b), looking only into
    // those parts of the block where something may happen.
    const auto cross = [&](long first, const Sample& a, long last, const Sample& b, const auto& self) -> void {
        if (last - first == 1) {
            advance(a, b, advance);
            return;
        }
        if (planner.Both(a) == planner.Both(b) && !planner.MayHideChange(a, b) && !(open && mayTopBest(a, b))) return;
        const long middleStep = first + (last - first) / 2;
        const Sample middle = planner.At(sampleTime(middleStep));
        self(first, a, middleStep, middle, self);
        self(middleStep, middle, last, b, self);
    };
    const long block = homeMask.Empty() ? kBlockSamples : 1;
    for (long step = 0; step < lastStep;) {
        const long next = std::min(lastStep, step + block);
        const Sample sample = planner.At(sampleTime(next));
        cross(step, previous, next, sample, cross);
        previous = sample;
        step = next;
    }
    if (open) close(until, true);
    return windows;
}

Shortfall WhyNoWindow(double from, double days, const pointing::Station& home, const pointing::Station& dx,
                      long double minElevation, long double dxMinElevation, const horizon_mask::Mask& homeMask) {
    // A station paired with itself has its windows wherever it alone has the Moon above the minimum.
    const auto risesAbove = [&](const pointing::Station& station, long double minimum, const horizon_mask::Mask& mask) {
        return !MutualWindows(from, days, station, station, minimum, minimum, mask).empty();
    };
    Shortfall shortfall{risesAbove(home, minElevation, homeMask), risesAbove(dx, dxMinElevation, {}), false, 0, 0};
    for (const Window& window : MutualWindows(from, days, home, dx, 0, 0)) {
        shortfall.highest = shortfall.together ? std::max(shortfall.highest, window.highest) : window.highest;
        shortfall.dxHighest = shortfall.together ? std::max(shortfall.dxHighest, window.dxHighest) : window.dxHighest;
        shortfall.together = true;
    }
    return shortfall;
}

long double RangeRate(double utcDayNumber, const pointing::Station& station) {
    const double span = kRateHalfSpanSeconds * kSecond;
    const double before = utcDayNumber - span, after = utcDayNumber + span;
    // The day numbers actually used, so their rounding does not enter the rate.
    return (Distance(after, station) - Distance(before, station)) / ((after - before) * 86400.0L);
}

long double EchoDoppler(double utcDayNumber, const pointing::Station& home, long double frequencyHz) {
    return -2 * frequencyHz * RangeRate(utcDayNumber, home) / kLightKmPerSecond;
}

long double DxDoppler(double utcDayNumber, const pointing::Station& home, const pointing::Station& dx,
                      long double frequencyHz) {
    return -frequencyHz * (RangeRate(utcDayNumber, home) + RangeRate(utcDayNumber, dx)) / kLightKmPerSecond;
}

long double PathLossOverPerigee(double utcDayNumber, const pointing::Station& home, const pointing::Station& dx) {
    return SpreadingLossOverPerigee(Distance(utcDayNumber, home), Distance(utcDayNumber, dx));
}

long double SpreadingLossOverPerigee(long double homeDistanceKm, long double dxDistanceKm) {
    return 20 * std::log10(homeDistanceKm * dxDistanceKm / (kPerigeeKm * kPerigeeKm));
}

long double EchoDelay(double utcDayNumber, const pointing::Station& home) {
    return 2 * Distance(utcDayNumber, home) / kLightKmPerSecond;
}

long double MoonDeclination(double utcDayNumber) {
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, astro_time::TerrestrialTime(utcDayNumber));
    return record.declination;
}

}  // namespace eme_plan
