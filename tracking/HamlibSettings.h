// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HamlibRotator.h"
#include "Journal.h"
#include "Protocols.h"

// Which Hamlib rotator each axis drives, as the [Hamlib] section of the settings file keeps it:
// AzModel, AzDevice, AzSpeed for the azimuth, ElModel, ElDevice, ElSpeed for the elevation. A
// model of 0, or none, means no rotator is chosen; a speed of 0 keeps the model's own.
namespace HamlibSettings {

inline constexpr char kSection[] = "Hamlib";

// The section's keys: the azimuth's, then the elevation's.
std::vector<std::string> KeyNames();

// The axis's rotator in the file; nullopt when no model is chosen.
std::optional<HamlibRotator::Address> Load(const std::string& settingsFile, Protocols::Axis axis);

// Why the rotator cannot be kept for the axis, in a sentence for the operator, or empty when it
// can: the model must be one Hamlib knows; a model reached over a line or a network needs its
// device, which must read back from the file as written (printable ASCII, no blanks or quotes
// around it, at most 1023 bytes).
std::string Problem(Protocols::Axis axis, const HamlibRotator::Address& rotator);

// Writes the axis's keys whose values differ from the file's, under one lock, leaving every other
// line of the file as it is (nullopt: no rotator, model 0). Each key changed goes into the journal
// as "Settings: AzModel 0 -> 2"; a write that fails raises EIniWriteError, after a journal line
// saying what was not kept. Gives the number of keys changed. The rotator must pass Problem.
int Save(Journal::Journal& journal, const std::string& settingsFile, Protocols::Axis axis,
         const std::optional<HamlibRotator::Address>& rotator);

}  // namespace HamlibSettings
