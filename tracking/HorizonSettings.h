// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "horizon_mask.h"

// The horizon the home station actually sees, in the [Horizon] section of the settings file:
//
//   Mask=90:12,135:20,180:8   points AZ:EL (degrees) joined by straight lines, through north from the last
//                             to the first; empty or absent: no mask
//
// The mask raises the lowest usable elevation at home in its directions: the plan's windows, the calendar,
// the rise and set line, the "wait" policy's rising azimuth and the sky plot follow it. A mask that cannot
// be read counts as no mask, and Read says why.
namespace HorizonSettings {

inline constexpr char kSection[] = "Horizon";

// Every key of the section, in the order they are written, with what an absent key means.
struct Key {
    const char* name;
    const char* absent;
};
extern const Key kKeys[1];

struct Settings {
    horizon_mask::Mask mask;
    std::string problem;  // why the text in the file was not used; empty when it was
    bool operator==(const Settings&) const = default;
};

// Reads the section; a missing file or key gives no mask.
Settings Read(const std::string& settingsFile);

// The keys with their texts, as Write puts them in the file.
std::vector<std::pair<std::string, std::string>> KeyTexts(const horizon_mask::Mask& mask);

// Writes the mask, leaving every other line of the file as it is. Raises EIniWriteError.
void Write(const std::string& settingsFile, const horizon_mask::Mask& mask);

}  // namespace HorizonSettings
