// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "HamlibRig.h"
#include "HamlibRotator.h"
#include "HamlibTransport.h"
#include "Location.h"
#include "Protocols.h"
#include "RadioSettings.h"
#include "RotatorSettings.h"
#include "Targets.h"
#include "horizon_mask.h"
#include "pointing.h"

// lunark-position: the Moon's position for a station and the rotator commands that go with it,
// on the command line, computed by the same routines as the program's main window.
namespace PositionTool {

// A command line that cannot be followed; the text says why.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the command line asks for. Texts are Windows-1252 bytes, converted from the terminal's UTF-8.
struct Options {
    std::optional<std::string> locator;
    std::optional<Location::Instant> at;
    std::optional<int32_t> azOffset;
    std::optional<int32_t> elOffset;
    std::optional<std::string> azType;
    std::optional<std::string> elType;
    std::optional<int32_t> azRange;  // 360, or 361-540 for an overlap
    std::optional<RotatorSettings::ElevationRange> elRange;
    std::optional<RotatorSettings::BelowHorizonPolicy> belowHorizon;
    std::optional<std::string> settingsFile;
    std::optional<HamlibRotator::Address> azHamlib;  // the rotator of an axis set to "Hamlib"
    std::optional<HamlibRotator::Address> elHamlib;
    // EME planning: the mutual Moon windows with a DX station, or Doppler and path at one instant.
    bool plan = false;
    std::vector<std::string> dxLocators;  // up to PlanSettings::kMostDxStations
    std::optional<Location::Instant> from;
    int32_t days = 1;
    double minElevation = 5;
    double dxMinElevation = 5;
    bool json = false;
    // The weeks ahead: a row per UTC day from --from over --days (default 30 for the calendar).
    bool calendar = false;
    std::optional<horizon_mask::Mask> mask;  // the horizon mask at home, over the settings file's
    std::optional<double> frequencyMhz;
    bool listHamlib = false;
    bool precise = false;                   // precise pointing, whatever the settings file says
    std::optional<Targets::Target> target;  // a body: the Moon or the Sun
    std::optional<long double> latitude;    // the station, degrees north (with longitude)
    std::optional<long double> longitude;   // degrees EAST (with latitude)
    std::optional<long double> height;      // metres above sea level
    bool send = false;
    // The radio: the frequencies the Doppler mode asks for, and the rig they are sent to.
    std::optional<double> skedMhz;
    std::optional<RadioSettings::Mode> dopplerMode;
    std::optional<double> loMhz;
    std::optional<HamlibRig::Address> rig;
    bool help = false;
    bool version = false;
    std::vector<std::string> notes;  // what was taken otherwise than typed, for standard error
    bool operator==(const Options&) const = default;
};

// The options an option goes with: it is refused when none of `with` is given beside it, and when
// one of `without` is. Two options that name only each other go together.
struct Companions {
    std::array<std::string_view, 4> with{};
    bool needs = false;  // "needs --lat and --lon" (each of them) rather than "goes with --plan or --frequency"
    std::array<std::string_view, 3> without{};
};

// One command-line option: how it is typed, what it sets, how --help and the man page list it.
struct Option {
    // Reads the value (empty for a switch) into the options; raises EUsageError.
    using Handler = void (*)(Options& options, std::string_view name, const std::string& value);
    std::string_view name;      // "--locator"
    std::string_view argument;  // what --help calls its value; empty for a switch
    Handler handler;
    std::string_view help;  // --help's description, '\n' between its lines; empty: not listed
    Companions goesWith{};
    std::optional<Protocols::Axis> protocolsOf{};  // the description goes on with the axis's protocols
};

// Every option, in the order --help lists them.
std::span<const Option> OptionTable();

// Reads the arguments after the program name ("--name value" or "--name=value"). Raises EUsageError.
Options ParseArguments(const std::vector<std::string>& arguments);

// "2023-03-22T12:00:00Z", optionally with up to nine digits of fractions of a second (cut to the
// microsecond), always UTC, years 0001 to 9999.
std::optional<Location::Instant> ParseUtcInstant(std::string_view text);

// "2023-03-22" (midnight UTC) or a full instant as ParseUtcInstant takes it.
std::optional<Location::Instant> ParseUtcDateOrInstant(std::string_view text);

// Runs the tool: prints to out, complaints to err; gives the exit status (0 done, 1 computation or
// send failed, 2 bad arguments). executablePath locates the program's own settings file.
int Run(const std::vector<std::string>& arguments, const std::string& executablePath, std::ostream& out,
        std::ostream& err);
// As Run, driving the Hamlib axes handed (a caller that reads their results after the run; the
// plain Run makes its own); the rotators the options name are theirs for the run.
int Run(const std::vector<std::string>& arguments, const std::string& executablePath, std::ostream& out,
        std::ostream& err, HamlibTransport::Axes& hamlib);

}  // namespace PositionTool
