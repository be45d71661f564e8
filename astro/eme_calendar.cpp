// SPDX-License-Identifier: GPL-3.0-or-later
#include "eme_calendar.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "astro_time.h"
#include "eme_path.h"
#include "eme_plan.h"
#include "moon.h"
#include "sun.h"

namespace eme_calendar {

namespace {

constexpr double kSecond = 1.0 / 86400;
// The Moon's elevation has one maximum (or none, when it culminates outside the day) within a UTC day;
// samples this far apart find its neighbourhood and a golden section the second.
constexpr double kHighestStep = 10.0 / 1440;
// The lunar events are bracketed by samples this far apart: the distance has one extreme in about 14
// days and the elongation turns by about 6 degrees in half a day.
constexpr double kEventStep = 0.5;
constexpr double kGolden = 0.6180339887498949;

const pointing::Atmosphere kNoRefraction{};

long double Elevation(double at, const pointing::Station& station) {
    return pointing::PrecisePosition(pointing::Target::Moon, at, station, kNoRefraction).elevation;
}

// The instant of the largest value of f between a and b (f with one maximum there), to the second.
template <typename F>
double Largest(double a, double b, const F& f) {
    while (b - a > kSecond) {
        const double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
        if (f(c) < f(d)) {
            a = c;
        } else {
            b = d;
        }
    }
    return (a + b) / 2;
}

long double GeocentricDistance(double at) {
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, astro_time::TerrestrialTime(at));
    return record.distance;
}

// The Moon's apparent ecliptic longitude less the Sun's, degrees in [0, 360): 0 at new Moon, 180 at full.
long double Elongation(double at) {
    const double dynamical = astro_time::TerrestrialTime(at);
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, dynamical);
    const long double difference =
        std::fmod(record.longitude - sun::SunApparentPosition(dynamical).place.longitude, 360.0L);
    return difference < 0 ? difference + 360 : difference;
}

// The instant in [a, b] where the elongation, less `phase` and folded into (-180, 180], passes zero rising.
double PhaseCrossing(double a, double b, long double phase) {
    const auto offset = [phase](double at) {
        long double folded = std::fmod(Elongation(at) - phase + 540.0L, 360.0L) - 180;
        return folded;
    };
    while (b - a > kSecond) {
        const double middle = (a + b) / 2;
        (offset(middle) < 0 ? a : b) = middle;
    }
    return (a + b) / 2;
}

long double Hours(const std::vector<eme_plan::Window>& windows) {
    long double days = 0;
    for (const eme_plan::Window& window : windows) days += window.end - window.start;
    return days * 24;
}

bool Holds(const std::vector<double>& instants, double start) {
    return std::any_of(instants.begin(), instants.end(), [start](double at) { return at >= start && at < start + 1; });
}

}  // namespace

Rating RatingOf(long double degradationDb) {
    if (degradationDb < 1.5L) return Rating::Excellent;
    if (degradationDb < 2.5L) return Rating::Good;
    if (degradationDb < 4) return Rating::Fair;
    if (degradationDb < 5.5L) return Rating::Poor;
    return Rating::VeryPoor;
}

const char* RatingName(Rating rating) {
    switch (rating) {
        case Rating::Excellent:
            return "excellent";
        case Rating::Good:
            return "good";
        case Rating::Fair:
            return "fair";
        case Rating::Poor:
            return "poor";
        case Rating::VeryPoor:
            break;
    }
    return "very poor";
}

Events LunarEvents(double from, double until) {
    Events events;
    std::vector<double> at;
    for (double t = from - kEventStep; t <= until + kEventStep; t += kEventStep) at.push_back(t);
    std::vector<long double> distance, elongation;
    for (const double t : at) {
        distance.push_back(GeocentricDistance(t));
        elongation.push_back(Elongation(t));
    }
    for (std::size_t i = 1; i + 1 < at.size(); ++i) {
        if (distance[i] <= distance[i - 1] && distance[i] < distance[i + 1])
            events.perigees.push_back(Largest(at[i - 1], at[i + 1], [](double t) { return -GeocentricDistance(t); }));
        if (distance[i] >= distance[i - 1] && distance[i] > distance[i + 1])
            events.apogees.push_back(Largest(at[i - 1], at[i + 1], GeocentricDistance));
    }
    for (std::size_t i = 0; i + 1 < at.size(); ++i) {
        if (elongation[i] > 180 && elongation[i + 1] < 180)
            events.newMoons.push_back(PhaseCrossing(at[i], at[i + 1], 0));
        if (elongation[i] < 180 && elongation[i + 1] >= 180)
            events.fullMoons.push_back(PhaseCrossing(at[i], at[i + 1], 180));
    }
    const auto within = [from, until](std::vector<double>& instants) {
        std::erase_if(instants, [from, until](double t) { return t < from || t >= until; });
    };
    within(events.perigees);
    within(events.apogees);
    within(events.newMoons);
    within(events.fullMoons);
    return events;
}

std::vector<Day> Calendar(const Request& request) {
    if (request.days < 1 || request.days > 366) throw std::invalid_argument("the number of days must be from 1 to 366");
    if (!(request.frequencyHz > 0)) throw std::invalid_argument("the frequency must be positive");
    const double first = std::floor(request.from);
    const Events events = LunarEvents(first, first + request.days);
    std::vector<Day> days;
    for (int index = 0; index < request.days; ++index) {
        const double start = first + index, end = start + 1;
        Day day{};
        day.start = start;
        double best = start;
        long double bestElevation = Elevation(start, request.home);
        for (int step = 1; step * kHighestStep <= 1 + kSecond; ++step) {
            const double at = std::min(end, start + step * kHighestStep);
            if (const long double elevation = Elevation(at, request.home); elevation > bestElevation) {
                best = at;
                bestElevation = elevation;
            }
        }
        day.highestAt = Largest(std::max(start, best - kHighestStep), std::min(end, best + kHighestStep),
                                [&](double t) { return Elevation(t, request.home); });
        day.highest = std::max(bestElevation, Elevation(day.highestAt, request.home));
        if (day.highest == bestElevation) day.highestAt = best;
        // The home station paired with itself is up wherever it alone has the Moon above its minimum.
        day.hoursUp = Hours(eme_plan::MutualWindows(start, 1, request.home, request.home, request.minElevation,
                                                    request.minElevation, request.mask));
        for (const pointing::Station& dx : request.dx) {
            day.mutualHours.push_back(Hours(eme_plan::MutualWindows(start, 1, request.home, dx, request.minElevation,
                                                                    request.dxMinElevation, request.mask)));
        }
        const eme_path::StationFigures figures = eme_path::FiguresAt(day.highestAt, request.home, request.frequencyHz);
        day.declination = eme_plan::MoonDeclination(day.highestAt);
        day.distanceKm = figures.moon.distanceKm;
        day.pathLossDb = eme_plan::SpreadingLossOverPerigee(day.distanceKm, day.distanceKm);
        day.sunMoonDegrees = figures.sunMoonDegrees;
        day.degradationDb = figures.degradationDb;
        day.sunClose = day.sunMoonDegrees < kSunMoonWarningDegrees;
        day.perigee = Holds(events.perigees, start);
        day.apogee = Holds(events.apogees, start);
        day.newMoon = Holds(events.newMoons, start);
        day.fullMoon = Holds(events.fullMoons, start);
        days.push_back(std::move(day));
    }
    return days;
}

}  // namespace eme_calendar
