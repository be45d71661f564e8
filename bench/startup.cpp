// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time and peak memory of the program: each iteration starts a fresh process that
// creates the application object and both windows and shows the main window, as the program does,
// so that plugin loading, fonts and the settings file all count.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "Startup.h"
#include "Unit3.h"

namespace {

[[noreturn]] void StartAndExit(const std::string& settingsExecutable) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Unit3::ExecutablePath = settingsExecutable;
    int argc = 1;
    char name[] = "lunark";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    startup::InitialiseApplication();
    const startup::ProgramWindows windows = startup::CreateWindows();
    windows.form1->show();
    while (!windows.form1->windowHandle()->isExposed()) QApplication::processEvents();
    QApplication::processEvents();
    std::_Exit(0);
}

void BM_StartUp(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "lunark-bench-startup";
    std::filesystem::create_directories(folder);
    const std::string settingsExecutable = (folder / "lunark").string();
    long peakKb = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) StartAndExit(settingsExecutable);
        int status = 0;
        struct rusage usage {};
        ::wait4(child, &status, 0, &usage);
        const auto end = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("start-up failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        peakKb = std::max(peakKb, usage.ru_maxrss);
    }
    state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_StartUp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_MAIN();
