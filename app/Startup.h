// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "StationRotators.h"
#include "StationState.h"
#include "StationWindow.h"
#include "Unit1.h"
#include "Unit4.h"

// The program's start, in its order: the modules' own start-up, the application's title, fonts and
// icon, then the main window, the settings module and the hidden setup window.
namespace startup {

// Chooses where the settings live (beside the executable, or the user's configuration folder).
// Runs before the application object exists.
void StartModules(const char* argv0);

// Names the application and installs its icon, font substitutes and message boxes. Needs the
// application object.
void InitialiseApplication();

// Hamlib rotators answer from their worker threads: their results are handled by the
// application's event loop, and no longer once it has ended, when the rotators are let go
// without waiting for them. Part of InitialiseApplication.
void DeliverHamlibResults();

struct ProgramWindows {
    // The journal and what else the station keeps: made first, it outlives every window.
    std::unique_ptr<StationState> state;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<StationLink::StationRotators> linkedRotators;  // the server's clients' way to the rotators
    std::unique_ptr<TStationWindow> station;
    ProgramWindows() = default;
    ProgramWindows(ProgramWindows&&) = default;
    ~ProgramWindows();
};

// Creates the main window first (it reads the settings), then the hidden setup window, then starts
// the station's journal and log and creates the hidden station window.
ProgramWindows CreateWindows();

}  // namespace startup
