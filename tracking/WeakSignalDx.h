// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Location.h"

// What the weak-signal program last said of the station being worked: the DX station's locator, its
// transmit/receive period and whether it is transmitting, with the instant it said so. The link's
// listener sets it on the UI thread; the Doppler, the Plan page, the period and the rotators' move
// timing read it. It counts for two minutes: a program that stops talking hands the DX station back
// to the settings, and counts as not transmitting.
namespace WeakSignalDx {

inline constexpr auto kFreshFor = std::chrono::minutes(2);

struct Report {
    std::string dxGrid;                     // empty: the program names no DX locator
    std::optional<uint32_t> periodSeconds;  // the T/R period, when the program gives one
    Location::Instant at{};
    bool transmitting = false;  // the program is transmitting
};

// Records the program's latest status.
void Set(const Report& report);

// Forgets it (the listener turned off).
void Clear();

// The DX locator of a status that came within kFreshFor of `now`, when it names a place; else empty.
std::string FreshGrid(Location::Instant now);

// The T/R period of a status that came within kFreshFor of `now`.
std::optional<int32_t> FreshPeriodSeconds(Location::Instant now);

// While a status that came within kFreshFor of `now` says the program is transmitting: the instant
// that status grows stale (from then on the program counts as not transmitting). nullopt otherwise.
std::optional<Location::Instant> TransmittingUntil(Location::Instant now);

}  // namespace WeakSignalDx
