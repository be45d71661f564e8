// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one Moon position for an observer: the library's entry, the plain extended-precision evaluation
// of the same formulas, and libnova's full ELP 2000-82B lunar position with its
// horizontal transformation, for the same instants; the precise topocentric position of the Moon and
// the Sun; and one panel of the EME path's figures.
#include <benchmark/benchmark.h>
#include <libnova/lunar.h>
#include <libnova/transform.h>

#include <array>
#include <cstddef>

#include "eme_path.h"
#include "eme_plan.h"
#include "moon.h"
#include "moon_reference.h"
#include "pointing.h"

namespace {

constexpr double kLongitudeWest = -4.6666666666666667;  // JO22, the Netherlands
constexpr double kLatitude = 52.0833333333333333;

// 1024 instants spread over 1950-2050 (day numbers 18264 to 54789), not on whole hours.
std::array<double, 1024> Instants() {
    std::array<double, 1024> days{};
    for (std::size_t i = 0; i < days.size(); ++i) days[i] = 18264.0 + 35.67013 * static_cast<double>(i) + 0.0137;
    return days;
}

const std::array<double, 1024> kInstants = Instants();

void Lunark(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        long double elevation = 0, azimuth = 0;
        moon::MoonHorizontalPosition(kInstants[i++ % kInstants.size()], kLongitudeWest, kLatitude, elevation, azimuth);
        benchmark::DoNotOptimize(elevation);
        benchmark::DoNotOptimize(azimuth);
    }
}
BENCHMARK(Lunark)->Name("BM_MoonHorizontalPosition/lunark");

void PlainLongDouble(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        moon::MoonCoordinates record =
            moon_reference::FullPosition(kInstants[i++ % kInstants.size()], kLongitudeWest, kLatitude);
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(PlainLongDouble)->Name("BM_MoonHorizontalPosition/plain_long_double");

void Precise(benchmark::State& state, pointing::Target target) {
    const pointing::Station station{kLatitude, -kLongitudeWest, 30.0};
    const pointing::Atmosphere atmosphere{true, 10.0, 1010.0};
    std::size_t i = 0;
    for (auto _ : state) {
        const pointing::Direction direction =
            pointing::PrecisePosition(target, kInstants[i++ % kInstants.size()], station, atmosphere);
        benchmark::DoNotOptimize(direction);
    }
}
BENCHMARK_CAPTURE(Precise, moon, pointing::Target::Moon)->Name("BM_PrecisePosition/moon");
BENCHMARK_CAPTURE(Precise, sun, pointing::Target::Sun)->Name("BM_PrecisePosition/sun");

// The mutual windows of JO22IC and FN20XR over one day and over a month, from 2026-12-07 00:00 UTC: the
// station window's Plan page computes one of these per DX station when its inputs change or the hour
// moves on.
void MutualWindows(benchmark::State& state) {
    const pointing::Station home{52.0833, 4.6667, 0}, dx{40.7083, -74.0833, 0};
    for (auto _ : state) {
        const auto windows = eme_plan::MutualWindows(46363.0, static_cast<double>(state.range(0)), home, dx, 5, 5);
        benchmark::DoNotOptimize(windows.data());
    }
}
BENCHMARK(MutualWindows)->Name("BM_MutualWindows/days")->Arg(1)->Arg(30)->Unit(benchmark::kMillisecond);

// One panel of the EME path's figures (both stations' spreads, Sun-Moon angles, Doppler rates, sky
// temperatures and degradations, the DX spread and the polarisation offset) for JO22IC and FN20XR at 3 cm:
// what the Plan page works out for each of its two columns at every refresh.
void PathPanel(benchmark::State& state) {
    const pointing::Station home{52.1042, 4.7083, 0}, dx{40.7292, -74.0417, 0};
    std::size_t i = 0;
    for (auto _ : state) {
        const eme_path::PathFigures path = eme_path::PathAt(kInstants[i++ % kInstants.size()], home, dx, 10368e6L);
        benchmark::DoNotOptimize(path);
    }
}
BENCHMARK(PathPanel)->Name("BM_EmePath/panel")->Unit(benchmark::kMicrosecond);

void Libnova(benchmark::State& state) {
    ln_lnlat_posn observer{-kLongitudeWest, kLatitude};  // libnova counts longitude east-positive
    std::size_t i = 0;
    for (auto _ : state) {
        const double jd = static_cast<double>(moon::DayNumberToJd(kInstants[i++ % kInstants.size()]));
        ln_equ_posn equatorial{};
        ln_hrz_posn horizontal{};
        ln_get_lunar_equ_coords(jd, &equatorial);
        ln_get_hrz_from_equ(&equatorial, &observer, jd, &horizontal);
        benchmark::DoNotOptimize(horizontal);
    }
}
BENCHMARK(Libnova)->Name("BM_MoonHorizontalPosition/libnova");

}  // namespace

BENCHMARK_MAIN();
