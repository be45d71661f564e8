// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the tracking cycle's two steps: one position update (Moon position, rounding, the label
// texts and command values) and one serial command (open, configure, write, close).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Messages.h"
#include "Position.h"
#include "SerialTransport.h"
#include "Unit3.h"

namespace {

void BM_PositionUpdate(benchmark::State& state) {
    Unit3::Locator = "JO22IC";
    Unit3::AZoffset = 5;
    Unit3::ELoffset = -2;
    for (auto _ : state) {
        Position::UpdatePosition();
        benchmark::DoNotOptimize(Position::AZvalue.data());
        benchmark::DoNotOptimize(Position::ElevationLine.data());
    }
}
BENCHMARK(BM_PositionUpdate);

// A pseudo-terminal mapped as COM1 in a settings file of its own; the controller's end is read
// every so often so that the line never fills.
void BM_SendSerialCycle(benchmark::State& state) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("openpty failed");
        return;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string folder = (std::filesystem::temp_directory_path() / "lunark-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    std::ofstream(folder + "/lunark.ini") << "[Ports]\nCOM1=" << name << "\n";
    Unit3::ExecutablePath = folder + "/lunark";
    bool failed = false;
    Messages::SetMessageHandler([&failed](const std::string&) { failed = true; });

    char drain[4096];
    int sent = 0;
    for (auto _ : state) {
        SerialTransport::SendSerial("COM1", "9600", "M123\r");
        if (++sent % 256 == 0) {
            while (::read(master, drain, sizeof drain) > 0) {
            }
        }
    }
    if (failed) state.SkipWithError("a send failed");

    Messages::SetMessageHandler(nullptr);
    Unit3::ExecutablePath.clear();
    std::filesystem::remove_all(folder);
    ::close(slave);
    ::close(master);
}
BENCHMARK(BM_SendSerialCycle)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
