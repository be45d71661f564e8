// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <string>
#include <vector>

// The rotator models Hamlib knows, from its own registry of backends.
namespace HamlibModels {

struct Model {
    int number;                // Hamlib's model number (1 Dummy, 2 NET rotctl, 601 GS-232A, ...)
    std::string manufacturer;  // as Hamlib spells it, ASCII
    std::string name;
    bool serial;  // reached over a serial line (a line speed applies); otherwise network or none
    bool needsDevice;  // false for the simulated rotator, which is reached over nothing
};

// Every model, by number. The first call loads all of Hamlib's rotator backends and silences
// Hamlib's own debug output; later calls give the same list.
const std::vector<Model>& Models();

// The model of this number, or nullptr.
const Model* FindModel(int number);

// Makes sure Hamlib's backends are loaded and its debug output is off; every Hamlib call of the
// program comes after this. Safe from any thread.
void PrepareHamlib();

// Held around every Hamlib call. Hamlib 4.5 records each call in global buffers of its own (the
// text behind rigerror) whatever the debug level, so two threads must never be inside it at once.
std::mutex& HamlibInUse();

}  // namespace HamlibModels
