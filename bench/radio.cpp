// SPDX-License-Identifier: GPL-3.0-or-later
// The radio's cost: one second of keeping Hamlib's simulated rig on the Doppler of "full for the DX" at
// 10368 MHz with split, as the program does it: five ticks (the Doppler of both stations now and a second
// on), one request a second to the rig's worker (set receive and transmit, read both back, read the PTT),
// each awaited. The CPU time is the whole process's, the worker's included: per iteration, the CPU a
// second of tracking costs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "Journal.h"
#include "PlanSettings.h"
#include "RadioTracking.h"

namespace {

using namespace std::chrono;

void BM_RadioOneSecond(benchmark::State& state) {
    RadioSettings::Settings settings;
    settings.enabled = true;
    settings.rig = {1, "", 0};
    settings.skedHz = 10368100000;
    settings.mode = RadioSettings::Mode::kFullForTheDx;
    settings.dx = "FN20XR";
    Journal::Journal journal;
    RadioTracking::Tracker radio(journal);
    radio.Use(settings, PlanSettings::StationOf("JO22IC"), settings.dx);
    Location::Instant now = sys_days{2026y / December / 7} + 12h;
    for (auto _ : state) {
        for (int tick = 0; tick < 5; ++tick) {
            radio.Tick(now);
            now += milliseconds(200);
        }
        // The answer to this second's request, waited for without spending CPU on it.
        const auto deadline = steady_clock::now() + seconds(5);
        while (radio.Current().readReceive != radio.Current().setReceive ||
               radio.Current().setReceive != radio.Current().wanted->rigReceive) {
            if (steady_clock::now() > deadline) {
                state.SkipWithError(radio.Current().state.c_str());
                break;
            }
            std::this_thread::sleep_for(microseconds(200));
            radio.Tick(now);
        }
    }
    radio.Reset();
}
BENCHMARK(BM_RadioOneSecond)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
