// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathText.h"

#include <cmath>
#include <cstdio>

namespace PathText {

namespace {

using eme_path::PathFigures;
using eme_path::StationFigures;

constexpr Figure kFigures[] = {
    {"Spread", "spread_hz", Scope::kStation, 1, 1, false, " Hz",
     [](const StationFigures& s, const PathFigures&) { return s.spreadHz; }},
    {"DX spread", "dx_spread_hz", Scope::kPath, 1, 1, false, " Hz",
     [](const StationFigures&, const PathFigures& p) { return p.dxSpreadHz; }},
    {"Polarisation offset", "polarisation_offset_deg", Scope::kPath, 1, 2, true, "\xC2\xB0",
     [](const StationFigures&, const PathFigures& p) { return p.polarisationOffsetDegrees; }},
    {"Non-reciprocity", "non_reciprocity_db", Scope::kPath, 1, 1, false, " dB",
     [](const StationFigures&, const PathFigures& p) { return p.nonReciprocityDb; }},
    {"Sun\xE2\x80\x93Moon angle", "sun_moon_deg", Scope::kStation, 2, 2, false, "\xC2\xB0",
     [](const StationFigures& s, const PathFigures&) { return s.sunMoonDegrees; }},
    {"Doppler rate", "doppler_rate_hz_s", Scope::kStation, 2, 2, true, " Hz/s",
     [](const StationFigures& s, const PathFigures&) { return s.dopplerRateHzPerSecond; }},
    {"Semi-diameter", "semi_diameter_deg", Scope::kStation, 3, 3, false, "\xC2\xB0",
     [](const StationFigures& s, const PathFigures&) { return s.semiDiameterDegrees; }},
    {"Sky temperature", "sky_temperature_k", Scope::kStation, 0, 0, false, " K",
     [](const StationFigures& s, const PathFigures&) { return s.skyKelvin; }},
    {"Degradation", "degradation_db", Scope::kStation, 1, 1, false, " dB",
     [](const StationFigures& s, const PathFigures&) { return s.degradationDb; }},
};
static_assert(std::size(kFigures) == 9);

std::string Number(long double value, int decimals, bool withSign) {
    // A value that rounds to zero prints without a minus sign.
    const long double scale = std::pow(10.0L, decimals);
    if (std::round(value * scale) == 0) value = 0;
    char text[64];
    std::snprintf(text, sizeof text, withSign ? "%+.*Lf" : "%.*Lf", decimals, value);
    return text;
}

}  // namespace

std::span<const Figure> Figures() {
    return kFigures;
}

std::string ValueText(const Figure& figure, const StationFigures& station, const PathFigures& path) {
    return Number(figure.value(station, path), figure.decimals, figure.withSign) + std::string(figure.unit);
}

std::string JsonNumber(const Figure& figure, const StationFigures& station, const PathFigures& path) {
    return Number(figure.value(station, path), figure.jsonDecimals, false);
}

}  // namespace PathText
