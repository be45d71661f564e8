// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the settings file: the keys the program reads for one position update and its sends,
// from a file grown to 4 MB (comment lines an operator's script appended, say). The keys sit at
// the end, so that every read walks the whole file.
#include <fcntl.h>
#include <sys/stat.h>

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "IniFile.h"

namespace {

// The sections and keys of the program's settings file, as a position update reads them.
const std::vector<std::pair<const char*, std::vector<const char*>>> kKeys = {
    {"Lunark",
     {"Locator", "Top", "Left", "AZ_COM_NR", "EL_COM_NR", "AZoffset", "ELoffset", "AZtype", "ELtype", "TrackInterval"}},
    {"Rotator", {"AzimuthRange", "ElevationRange", "BelowHorizon", "Deadband", "IntervalSeconds"}},
    {"Pointing", {"Precise", "Target", "Latitude", "Longitude", "Height", "Refraction", "Pressure", "Temperature"}},
    {"Hamlib", {"AzModel", "AzDevice", "AzSpeed", "ElModel", "ElDevice", "ElSpeed"}},
    {"Ports", {"COM1", "COM2"}},
};

std::string MakeFile(std::size_t bytes) {
    const std::string path = (std::filesystem::temp_directory_path() / "lunark-bench-settings.ini").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string comment = "; " + std::string(76, '-') + "\n";
    for (std::size_t written = 0; written < bytes; written += comment.size()) out << comment;
    for (const auto& [section, keys] : kKeys) {
        out << '[' << section << "]\n";
        for (const char* key : keys) out << key << "=1\n";
    }
    return path;
}

void ReadAllKeys(const TIniFile& ini) {
    for (const auto& [section, keys] : kKeys) {
        for (const char* key : keys) benchmark::DoNotOptimize(ini.ReadString(section, key, ""));
    }
}

// The file as it stays between updates.
void BM_ReadAllKeysOfAnUnchangedFile(benchmark::State& state) {
    const std::string path = MakeFile(4 << 20);
    const TIniFile ini(path);
    for (auto _ : state) ReadAllKeys(ini);
    std::filesystem::remove(path);
}

// The file changed just before each update (its times moved): it is taken apart again, and read
// again for each key while its times are too recent to tell a further change.
void BM_ReadAllKeysOfAChangedFile(benchmark::State& state) {
    const std::string path = MakeFile(4 << 20);
    const TIniFile ini(path);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1, 0}};
    for (auto _ : state) {
        state.PauseTiming();
        ++times[1].tv_sec;  // a time of its own for each change
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        state.ResumeTiming();
        ReadAllKeys(ini);
    }
    std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_ReadAllKeysOfAnUnchangedFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllKeysOfAChangedFile)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
