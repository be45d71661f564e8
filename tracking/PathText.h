// SPDX-License-Identifier: GPL-3.0-or-later
// The EME path's figures as the command line and the station window write them: one row per figure, with
// the caption of its line, its JSON key, its number format and where its value comes from. Texts are UTF-8.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "eme_path.h"

namespace PathText {

// Whose figure a row is: each station's own (home and DX alike) or the path's between them.
enum class Scope { kStation, kPath };

struct Figure {
    std::string_view caption;  // "Spread": the line reads "Spread: 55.9 Hz"
    std::string_view jsonKey;  // "spread_hz"
    Scope scope;
    int decimals;
    int jsonDecimals;
    bool withSign;          // "+1.25 Hz/s"; JSON numbers never carry a plus
    std::string_view unit;  // " Hz", "°"
    long double (*value)(const eme_path::StationFigures& station, const eme_path::PathFigures& path);
};

// Every figure, in the order they are listed.
std::span<const Figure> Figures();

// The value as a line or the page shows it: "55.9 Hz", "+12.3°". For a station's figure, `station` is the
// station's; a path's figure reads `path`.
std::string ValueText(const Figure& figure, const eme_path::StationFigures& station, const eme_path::PathFigures& path);

// The plain number JSON takes: "55.9", "-12.34".
std::string JsonNumber(const Figure& figure, const eme_path::StationFigures& station,
                       const eme_path::PathFigures& path);

}  // namespace PathText
