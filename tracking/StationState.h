// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "RadioTracking.h"
#include "RotatorTracking.h"
#include "Station.h"

// What the station's features keep while the program runs: the journal (with its log file), the
// record of each axis's last command, the rotators' tracking (the [Rotator] settings and horizon
// mask in force, the pass followed, the deadband) and the radio's Doppler tracking. The program makes one at start-up, before its windows and outliving
// them, and hands each part to the windows, pages and links that use it; a test makes its own.
// The settings the main and setup windows share, and the latest position, stay where they are
// (Unit3, Position).
struct StationState {
    Journal::Journal journal;
    HamlibTransport::Axes hamlib{&journal};  // the Hamlib axes' rotators, results and follow watches
    AxisTransports::Transports transports{hamlib};
    Station::Records records{journal, transports};
    RotatorTracking::Tracker rotators{transports};
    RadioTracking::Tracker radio{journal};
};
