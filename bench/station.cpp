// SPDX-License-Identifier: GPL-3.0-or-later
// The station window's sky plot and calendar: one refresh of the plot as the window does it every second
// (the bodies' and the rotators' places, then a paint of the kept background and the moving points), the
// first paint after the day or the settings changed (tracks and background drawn afresh), and a month's
// calendar with two DX stations.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "RotatorTracking.h"
#include "SkyPlot.h"
#include "Unit3.h"
#include "eme_calendar.h"

namespace {

constexpr int kSide = 500;

// The tracking both plots show: default [Rotator] settings and a horizon mask with three points.
void UseBenchMask(RotatorTracking::Tracker& rotators) {
    rotators.UseMask(horizon_mask::Mask({{90, 12}, {180, 20}, {270, 5}}));
}

void BM_SkyPlotEverySecond(benchmark::State& state) {
    Unit3::Locator = "JO22IC";
    HamlibTransport::Axes hamlib;
    AxisTransports::Transports transports(hamlib);
    RotatorTracking::Tracker rotators(transports);
    UseBenchMask(rotators);
    Journal::Journal journal;
    const Station::Records nothingSent(journal, transports);
    TSkyPlot plot(nothingSent, rotators);
    plot.resize(kSide, kSide);
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        plot.Refresh();
        QPainter painter(&image);
        plot.Render(painter, plot.size());
    }
}
BENCHMARK(BM_SkyPlotEverySecond)->Unit(benchmark::kMillisecond);

void BM_SkyPlotNewDay(benchmark::State& state) {
    Unit3::Locator = "JO22IC";
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    int size = kSide;
    HamlibTransport::Axes hamlib;
    AxisTransports::Transports transports(hamlib);
    RotatorTracking::Tracker rotators(transports);
    UseBenchMask(rotators);
    Journal::Journal journal;
    const Station::Records nothingSent(journal, transports);
    for (auto _ : state) {
        // A new size throws the kept tracks' picture away; a new station the tracks as well.
        TSkyPlot plot(nothingSent, rotators);
        plot.resize(size, size);
        size = size == kSide ? kSide - 1 : kSide;
        plot.Refresh();
        QPainter painter(&image);
        plot.Render(painter, plot.size());
    }
}
BENCHMARK(BM_SkyPlotNewDay)->Unit(benchmark::kMillisecond);

void BM_CalendarMonth(benchmark::State& state) {
    const eme_calendar::Request request{
        46363, 30, {52.1042L, 4.7083L, 0}, {{40.7292L, -74.0417L, 0}, {45.8L, 137.2L, 0}}};
    for (auto _ : state) benchmark::DoNotOptimize(eme_calendar::Calendar(request));
}
BENCHMARK(BM_CalendarMonth)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
