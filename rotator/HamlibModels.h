// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The rotator models Hamlib knows, from its own registry of backends.
namespace HamlibModels {

struct Model {
    int number;                // Hamlib's model number (1 Dummy, 2 NET rotctl, 601 GS-232A, ...)
    std::string manufacturer;  // as Hamlib spells it, ASCII
    std::string name;
    bool serial;       // reached over a serial line (a line speed applies); otherwise network or none
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

// A lock that admits its threads in the order they asked for it: a thread that takes it again
// at once after letting it go waits behind those already waiting.
class TakeTurns {
public:
    void lock();
    void unlock();

private:
    std::mutex mutex_;
    std::condition_variable turn_;
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;
};

// Held around every Hamlib call. Every Hamlib 4.5 function writes its debug line into the global
// buffers debugmsgsave2 and debugmsgsave (the text behind rigerror) before it looks at the debug
// level, so rig_set_debug cannot keep two threads apart there: only one may be inside Hamlib at a
// time. Turns are taken in order, so one rotator's calls never shut another's out.
TakeTurns& HamlibInUse();

}  // namespace HamlibModels
