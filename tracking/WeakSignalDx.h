// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Location.h"

// What the weak-signal program last said of the station being worked: the DX station's locator and
// its transmit/receive period, with the instant it said so. The link's listener sets it on the UI
// thread; the Doppler, the Plan page and the period read it. It counts for two minutes: a program
// that stops talking hands the DX station back to the settings.
namespace WeakSignalDx {

inline constexpr auto kFreshFor = std::chrono::minutes(2);

struct Report {
    std::string dxGrid;                     // empty: the program names no DX locator
    std::optional<uint32_t> periodSeconds;  // the T/R period, when the program gives one
    Location::Instant at{};
};

// Records the program's latest status.
void Set(const Report& report);

// Forgets it (the listener turned off).
void Clear();

// The DX locator of a status that came within kFreshFor of `now`, when it names a place; else empty.
std::string FreshGrid(Location::Instant now);

// The T/R period of a status that came within kFreshFor of `now`.
std::optional<int32_t> FreshPeriodSeconds(Location::Instant now);

}  // namespace WeakSignalDx
