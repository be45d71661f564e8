// SPDX-License-Identifier: GPL-3.0-or-later
#include "PositionTool.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>

#include "AxisTransports.h"
#include "CalendarText.h"
#include "HamlibModels.h"
#include "HamlibTransport.h"
#include "HorizonSettings.h"
#include "Journal.h"
#include "Location.h"
#include "Messages.h"
#include "PathText.h"
#include "PlanSettings.h"
#include "PointingSettings.h"
#include "Position.h"
#include "RadioTracking.h"
#include "RotatorTracking.h"
#include "Rotators.h"
#include "Station.h"
#include "Unit3.h"
#include "Win1252.h"
#include "eme_calendar.h"
#include "eme_path.h"
#include "eme_plan.h"

namespace PositionTool {

namespace {

using namespace std::chrono;
using Protocols::Axis;

constexpr char kProgram[] = "lunark-position";
constexpr char kSettingsExtension[] = ".ini";
// Hamlib's own timeouts and retries end a silent rotator's request well within this.
constexpr std::chrono::seconds kLateResultWait{60};
constexpr char kNothingSent[] = "nothing is sent";
constexpr char kNotSent[] = "not sent";
// How many days the calendar lists unless told.
constexpr int32_t kCalendarDays = 30;
// 9999-12-31T23:59:59Z as a day number: the last instant a four-digit year prints.
constexpr double kLastPrintableSecond = 2958466.0 - 1.0 / 86400.0;

// The help text before and after the list of options.
constexpr char kHelpBeforeOptions[] =
    "Usage: lunark-position [--locator LOCATOR] [--at YYYY-MM-DDTHH:MM:SS[.fff]Z]\n"
    "                       [--az-offset N] [--el-offset N] [--az-type NAME] [--el-type NAME]\n"
    "                       [--az-hamlib MODEL,DEVICE[,SPEED]] [--el-hamlib MODEL,DEVICE[,SPEED]]\n"
    "                       [--az-range 0-N] [--el-range MIN-MAX] [--below-horizon POLICY]\n"
    "                       [--settings FILE] [--send] [--list-hamlib] [--frequency MHZ]\n"
    "                       [--precise] [--target moon|sun] [--lat DEG --lon DEG [--height METRES]]\n"
    "                       [--dx LOCATOR]... [--json]\n"
    "                       [--sked MHZ [--doppler-mode MODE] [--lo MHZ] [--rig MODEL,DEVICE[,SPEED]]]\n"
    "       lunark-position --plan --dx LOCATOR [--dx LOCATOR]... [--from DATE] [--days N]\n"
    "                       [--min-el DEG] [--dx-min-el DEG] [--frequency MHZ] [--json]\n"
    "                       [--locator LOCATOR]\n"
    "                       [--settings FILE]\n"
    "       lunark-position --calendar [--from DATE] [--days N] [--dx LOCATOR]... [--frequency MHZ]\n"
    "                       [--mask AZ:EL,...] [--json]\n"
    "\n"
    "Computes the Moon's azimuth and elevation for a station, as the Lunark main window does, and\n"
    "shows the command each rotator controller would receive.\n"
    "\n"
    "Printed: the settings file read (\"Settings: none, defaults used\" when there is none); the two\n"
    "lines the main window shows; the Moon's azimuth and elevation before rounding, in degrees with\n"
    "four decimals; then for each rotator its protocol, port, device and line speed, and one line\n"
    "per copy of its command, in hexadecimal and as text with control bytes named.\n"
    "\n"
    "Options (each one not given is taken from the settings file):\n";
constexpr char kHelpAfterOptions[] =
    "\n"
    "Protocol names are typed as they read (UTF-8) and must match exactly, letter case included.\n"
    "\n"
    "Exit status: 0 done; 1 the computation or a send failed; 2 the arguments cannot be followed.\n";

// Help lines wrap before this many characters; the option descriptions start at kHelpIndent.
constexpr std::size_t kHelpWidth = 100;
constexpr std::size_t kHelpIndent = 21;

std::string Win1252Argument(std::string_view option, const std::string& utf8) {
    std::optional<std::string> converted = win1252::FromUtf8(utf8);
    if (!converted) throw EUsageError(std::string(option) + ": \"" + utf8 + "\" has characters Windows-1252 lacks");
    return *converted;
}

int32_t DegreesArgument(std::string_view option, const std::string& text) {
    std::string_view digits = text;
    const bool plus = !digits.empty() && digits.front() == '+';
    if (plus) digits.remove_prefix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    // One sign at most: "+-5" is a typing error, not minus five.
    if (digits.empty() || (plus && digits.front() == '-') || error != std::errc() ||
        end != digits.data() + digits.size()) {
        throw EUsageError(std::string(option) + ": \"" + text + "\" is not a whole number of degrees");
    }
    return value;
}

double NumberArgument(std::string_view option, const std::string& text, double lowest, double highest) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(value >= lowest && value <= highest)) {
        char range[96];
        std::snprintf(range, sizeof range, "%g to %g", lowest, highest);
        throw EUsageError(std::string(option) + ": \"" + text + "\" is not a number from " + range);
    }
    return value;
}

// The axis's protocol names from the table, quoted, in UTF-8.
std::vector<std::string> QuotedProtocolNames(Axis axis) {
    std::vector<std::string> names;
    for (const Protocols::Protocol* protocol : Protocols::ProtocolsOf(axis)) {
        names.push_back('"' + win1252::ToUtf8(protocol->name) + '"');
    }
    return names;
}

// Why a locator names no place, or empty text when it names one.
// A locator typed on the command line, checked to name a place.
std::string LocatorArgument(std::string_view option, const std::string& utf8) {
    std::string locator = Win1252Argument(option, utf8);
    if (const std::string problem = PlanSettings::LocatorProblem(locator); !problem.empty()) {
        throw EUsageError(std::string(option) + ": \"" + utf8 + "\" " + problem);
    }
    return locator;
}

std::string ProtocolList(Axis axis) {
    std::string list;
    for (const std::string& name : QuotedProtocolNames(axis)) {
        if (!list.empty()) list += ", ";
        list += name;
    }
    return list;
}

// Characters of UTF-8 text, as a terminal shows them (one per character, not per byte).
std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (const char byte : utf8) width += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return width;
}

// The help of a protocol option ("  --az-type NAME     azimuth protocol: ..."): every name of the
// axis, "or" before the last, wrapped between names under the description column.
std::string ProtocolOptionHelp(std::string_view option, std::string_view title, Axis axis) {
    const std::vector<std::string> names = QuotedProtocolNames(axis);
    std::vector<std::string> words;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i + 1 == names.size() && i > 0) words.push_back("or");
        words.push_back(names[i] + (i + 2 < names.size() ? "," : ""));
    }
    std::string help = "  " + std::string(option);
    help.resize(kHelpIndent, ' ');
    help += title;
    std::size_t lineWidth = DisplayWidth(help);
    for (const std::string& word : words) {
        if (lineWidth + 1 + DisplayWidth(word) >= kHelpWidth) {
            help += '\n' + std::string(kHelpIndent, ' ') + word;
            lineWidth = kHelpIndent + DisplayWidth(word);
        } else {
            help += ' ' + word;
            lineWidth += 1 + DisplayWidth(word);
        }
    }
    return help + '\n';
}

std::string ProtocolArgument(std::string_view option, Axis axis, const std::string& utf8) {
    std::string name = Win1252Argument(option, utf8);
    if (Protocols::FindProtocol(axis, name) == nullptr) {
        throw EUsageError(std::string(option) + ": \"" + utf8 + "\" is not one of " + ProtocolList(axis));
    }
    return name;
}

// A rotator typed as MODEL,DEVICE[,SPEED]. A line speed means nothing to a rotator reached over the
// network (Hamlib would refuse every open for it): it is dropped, with a note.
HamlibRotator::Address HamlibArgument(std::string_view option, const std::string& text,
                                      std::vector<std::string>& notes) {
    std::optional<HamlibRotator::Address> address = HamlibTransport::ParseRotator(text);
    if (!address) {
        throw EUsageError(std::string(option) + ": \"" + text +
                          "\" is not MODEL,DEVICE[,SPEED], e.g. 601,/dev/ttyUSB0,9600 or 2,localhost:4533");
    }
    const HamlibModels::Model* model = HamlibModels::FindModel(address->model);
    if (model == nullptr) {
        throw EUsageError(std::string(option) + ": Hamlib has no rotator model " + std::to_string(address->model) +
                          "; see --list-hamlib");
    }
    if (address->device.empty() && model->needsDevice) {
        throw EUsageError(std::string(option) + ": \"" + text + "\" names no device, which model " +
                          std::to_string(address->model) + " needs");
    }
    if (address->lineSpeed > 0 && !model->serial) {
        notes.push_back(std::string(option) + ": model " + std::to_string(address->model) +
                        " is not on a serial line; the line speed " + std::to_string(address->lineSpeed) +
                        " is ignored");
        address->lineSpeed = 0;
    }
    return *address;
}

// A rig typed as MODEL,DEVICE[,SPEED], a model Hamlib knows.
HamlibRig::Address RigArgument(std::string_view option, const std::string& text) {
    const std::optional<HamlibRotator::Address> address = HamlibTransport::ParseRotator(text);
    if (!address) {
        throw EUsageError(std::string(option) + ": \"" + text +
                          "\" is not MODEL,DEVICE[,SPEED], e.g. 1, or 2,localhost:4532");
    }
    const HamlibRig::Model* model = HamlibRig::FindModel(RadioTracking::HamlibGate(), address->model);
    if (model == nullptr)
        throw EUsageError(std::string(option) + ": Hamlib has no rig model " + std::to_string(address->model));
    if (address->device.empty() && model->needsDevice) {
        throw EUsageError(std::string(option) + ": \"" + text + "\" names no device, which model " +
                          std::to_string(address->model) + " needs");
    }
    return {address->model, address->device, model->serial ? address->lineSpeed : 0};
}

// Reads a fixed number of decimal digits at text[at...]; false when they are not all digits.
bool ReadDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// A value that `parse` reads, or a refusal saying what it should have been: "--at: \"x\" is not an
// instant like ...".
template <typename Parse>
auto ParsedArgument(std::string_view option, const std::string& text, Parse parse, std::string_view expected) {
    const auto value = parse(text);
    if (!value) throw EUsageError(std::string(option) + ": \"" + text + "\" is not " + std::string(expected));
    return *value;
}

std::string Degrees(long double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4Lf", value);
    return text;
}

std::string TwoDecimals(double degrees) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", degrees);
    return text;
}

// A day number as "2023-03-22T12:00:00Z", to the nearest second.
std::string UtcText(double dayNumber) {
    constexpr double kUnixEpochDayNumber = 25569;
    const sys_seconds instant{seconds(std::llround((dayNumber - kUnixEpochDayNumber) * 86400))};
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{instant - day};
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()));
    return text;
}

std::string OneDecimal(long double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1Lf", value);
    return text;
}

// A value at a window's start, middle and end in whole units, joined by `separator`: with a sign always for
// people, as JSON's plain numbers for programs.
template <typename Value>
std::string AcrossTheWindow(const eme_plan::Window& window, bool withSign, const char* separator, const Value& value) {
    std::string text;
    for (const double at : {window.start, (window.start + window.end) / 2, window.end}) {
        char number[32];
        std::snprintf(number, sizeof number, withSign ? "%+lld" : "%lld", std::llround(value(at)));
        text += (text.empty() ? "" : separator) + std::string(number);
    }
    return text;
}

// The mutual windows with each DX station, in time order, one a line or as a JSON array. With several DX
// stations each window names its own; with a frequency, each window's echo and DX Doppler at its start,
// middle and end. A DX station without a window gets the reason on a line of its own.
void PrintPlan(std::ostream& out, const Options& options, const pointing::Station& home,
               const horizon_mask::Mask& mask) {
    const double from = options.from ? Location::DayNumber(*options.from) : Location::UtcNow();
    // Instants are printed with four-digit years: the search ends with 9999-12-31.
    const double days = std::min<double>(options.days, kLastPrintableSecond - from);
    struct Listed {
        std::size_t dx;
        eme_plan::Window window;
    };
    std::vector<pointing::Station> stations;
    std::vector<Listed> windows;
    std::vector<bool> hasWindow(options.dxLocators.size(), false);
    for (std::size_t dx = 0; dx < options.dxLocators.size(); ++dx) {
        stations.push_back(PlanSettings::StationOf(options.dxLocators[dx]));
        if (days <= 0) continue;
        for (const eme_plan::Window& window : eme_plan::MutualWindows(
                 from, days, home, stations[dx], options.minElevation, options.dxMinElevation, mask)) {
            windows.push_back({dx, window});
            hasWindow[dx] = true;
        }
    }
    std::stable_sort(windows.begin(), windows.end(),
                     [](const Listed& a, const Listed& b) { return a.window.start < b.window.start; });
    const bool several = options.dxLocators.size() > 1;
    const long double hertz = options.frequencyMhz.value_or(0) * 1e6L;
    const auto echo = [&](double at) { return eme_plan::EchoDoppler(at, home, hertz); };
    if (options.json) out << '[';
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const eme_plan::Window& window = windows[i].window;
        const std::string dx = win1252::ToUtf8(options.dxLocators[windows[i].dx]);
        const pointing::Station& station = stations[windows[i].dx];
        const auto dxDoppler = [&](double at) { return eme_plan::DxDoppler(at, home, station, hertz); };
        const std::string start = UtcText(window.start), end = UtcText(window.end);
        const long long minutes = eme_plan::WholeMinutes(window);
        if (options.json) {
            out << (i ? "," : "") << "\n  {" << (several ? "\"dx\": \"" + dx + "\", " : "") << "\"start\": \"" << start
                << "\", \"end\": \"" << end << "\", \"minutes\": " << minutes
                << ", \"max_el\": " << OneDecimal(window.highest)
                << ", \"dx_max_el\": " << OneDecimal(window.dxHighest);
            if (options.frequencyMhz) {
                out << ", \"echo_doppler_hz\": [" << AcrossTheWindow(window, false, ", ", echo)
                    << "], \"dx_doppler_hz\": [" << AcrossTheWindow(window, false, ", ", dxDoppler) << ']';
            }
            out << '}';
        } else {
            out << start << (window.startCut ? "*" : "") << "  " << end << (window.endCut ? "*" : "") << "  "
                << minutes;
            if (options.frequencyMhz) {
                out << "  echo " << AcrossTheWindow(window, true, "/", echo) << " Hz  DX "
                    << AcrossTheWindow(window, true, "/", dxDoppler) << " Hz";
            }
            out << (several ? "  " + dx : "") << '\n';
        }
    }
    if (options.json) {
        out << (windows.empty() ? "]\n" : "\n]\n");
        return;
    }
    for (std::size_t dx = 0; dx < options.dxLocators.size(); ++dx) {
        if (hasWindow[dx] || days <= 0) continue;
        const eme_plan::Shortfall shortfall =
            eme_plan::WhyNoWindow(from, days, home, stations[dx], options.minElevation, options.dxMinElevation, mask);
        out << PlanSettings::NoWindowText(options.dxLocators[dx], options.days, shortfall, options.minElevation,
                                          options.dxMinElevation)
            << '\n';
    }
}

// The days ahead, a row each, as a table or a JSON array. DX stations and frequency not given come from
// the [Plan] section.
void PrintCalendar(std::ostream& out, const Options& options, const pointing::Station& home,
                   const horizon_mask::Mask& mask, const std::string& settingsFile) {
    const PlanSettings::Settings plan = PlanSettings::Read(settingsFile);
    const double from = options.from ? Location::DayNumber(*options.from) : Location::UtcNow();
    const std::vector<std::string>& locators = options.dxLocators.empty() ? plan.dxLocators : options.dxLocators;
    eme_calendar::Request request{from,
                                  static_cast<int>(std::min<double>(options.days, kLastPrintableSecond - from)),
                                  home,
                                  {},
                                  options.minElevation,
                                  options.dxMinElevation,
                                  options.frequencyMhz ? *options.frequencyMhz * 1e6L : plan.frequencyMhz * 1e6L,
                                  mask};
    for (const std::string& locator : locators) request.dx.push_back(PlanSettings::StationOf(locator));
    if (request.days < 1) return;
    const std::vector<eme_calendar::Day> days = eme_calendar::Calendar(request);
    out << (options.json ? CalendarText::Json(days, locators) : CalendarText::Table(days, locators));
}

// Doppler, path loss and echo delay at the clock's instant; with several DX stations their lines
// name them.
void PrintDoppler(std::ostream& out, const Options& options, const pointing::Station& home) {
    const double now = Location::UtcNow();
    const long double hertz = *options.frequencyMhz * 1e6L;
    char line[128];
    std::snprintf(line, sizeof line, "Echo Doppler: %+lld Hz\n", std::llround(eme_plan::EchoDoppler(now, home, hertz)));
    out << line;
    for (const std::string& locator : options.dxLocators) {
        const pointing::Station dx = PlanSettings::StationOf(locator);
        const std::string named = options.dxLocators.size() > 1 ? " (" + win1252::ToUtf8(locator) + ")" : "";
        std::snprintf(line, sizeof line, "DX Doppler%s: %+lld Hz\n", named.c_str(),
                      std::llround(eme_plan::DxDoppler(now, home, dx, hertz)));
        out << line;
        std::snprintf(line, sizeof line, "Path loss%s: %.1Lf dB (relative to perigee)\n", named.c_str(),
                      eme_plan::PathLossOverPerigee(now, home, dx));
        out << line;
    }
    std::snprintf(line, sizeof line, "Echo delay: %.3Lf s\n", eme_plan::EchoDelay(now, home));
    out << line;
}

// The path's figures at the clock's instant, one line each in the order of PathText: one's own echo's once,
// those between the stations once per DX station, naming it when there are several.
void PrintPathFigures(std::ostream& out, const Options& options, const pointing::Station& home) {
    const double now = Location::UtcNow();
    const long double hertz = *options.frequencyMhz * 1e6L;
    const eme_path::StationFigures own = eme_path::FiguresAt(now, home, hertz);
    std::vector<eme_path::PathFigures> paths;
    for (const std::string& locator : options.dxLocators)
        paths.push_back(
            eme_path::PathBetween(own, eme_path::FiguresAt(now, PlanSettings::StationOf(locator), hertz), hertz));
    for (const PathText::Figure& figure : PathText::Figures()) {
        if (figure.scope == PathText::Scope::kStation) {
            out << figure.caption << ": " << PathText::ValueText(figure, own, paths.front()) << '\n';
            continue;
        }
        for (std::size_t dx = 0; dx < paths.size(); ++dx) {
            out << figure.caption
                << (paths.size() > 1 ? " (" + win1252::ToUtf8(options.dxLocators[dx]) + ")" : std::string()) << ": "
                << PathText::ValueText(figure, own, paths[dx]) << '\n';
        }
    }
}

// The radio's settings for this run: [Radio] with the command line's values in their place.
RadioSettings::Settings RadioForRun(const Options& options, const std::string& settingsFile) {
    RadioSettings::Settings radio = RadioSettings::Read(settingsFile);
    radio.skedHz = std::llround(*options.skedMhz * 1e6);
    if (options.dopplerMode) radio.mode = *options.dopplerMode;
    if (options.loMhz) radio.loHz = std::llround(*options.loMhz * 1e6);
    if (options.rig) radio.rig = *options.rig;
    if (!options.dxLocators.empty()) radio.dx = options.dxLocators.front();
    return radio;
}

// The frequencies the Doppler mode asks for at the clock's instant; nothing for mode none or a mode
// that needs a DX station when none is known (said on standard error).
std::optional<RadioSettings::Tuning> PrintRadio(std::ostream& out, std::ostream& err,
                                                const RadioSettings::Settings& radio, const pointing::Station& home,
                                                const std::string& settingsFile) {
    const std::string dx = RadioTracking::ChooseDx(radio, settingsFile);
    if (RadioSettings::RowOf(radio.mode).needsDx && dx.empty()) {
        err << kProgram << ": --doppler-mode \"full for the DX\" needs a DX station: --dx or [Radio] DX\n";
        return std::nullopt;
    }
    const std::optional<pointing::Station> dxStation =
        dx.empty() ? std::nullopt : std::optional(PlanSettings::StationOf(dx));
    const auto tuning =
        RadioSettings::Tune(radio, RadioTracking::DopplerAt(Location::UtcNow(), home, dxStation, radio.skedHz));
    if (!tuning) {
        out << "Radio: mode none, the rig is not touched\n";
        return std::nullopt;
    }
    out << "Receive: " << tuning->receive << "\nTransmit: " << tuning->transmit << '\n';
    if (radio.loHz != 0)
        out << "Rig receive: " << tuning->rigReceive << "\nRig transmit: " << tuning->rigTransmit << '\n';
    return tuning;
}

// Tunes the rig once; prints what became of it and its dial read back. False when it failed.
bool SendToRadio(std::ostream& out, const RadioSettings::Settings& radio, const RadioSettings::Tuning& tuning) {
    const auto result = RadioTracking::TuneOnce(radio.rig, radio.split, tuning, kLateResultWait);
    const std::string device =
        radio.rig.device.empty() ? "Hamlib model " + std::to_string(radio.rig.model) : radio.rig.device;
    if (!result) {
        out << "Radio result: no answer within " << kLateResultWait.count() << " s (" << device << ")\n";
        return false;
    }
    out << "Radio result: " << (result->ok ? std::string("set") : result->reason + " (" + device + ")") << '\n';
    const auto hz = [](const std::optional<long long>& value) {
        return value ? std::to_string(*value) : std::string("-");
    };
    out << "Radio read back: " << hz(result->receiveHz) << ' ' << hz(result->transmitHz) << '\n';
    return result->ok;
}

// The instant's figures as one JSON object: one's own echo's Doppler, delay and figures; with one DX
// station also its Doppler, the path loss and the figures between the stations, with several an array "dx"
// of such objects, each naming its station.
void PrintFiguresJson(std::ostream& out, const Options& options, const pointing::Station& home) {
    const double now = Location::UtcNow();
    const long double hertz = *options.frequencyMhz * 1e6L;
    const eme_path::StationFigures own = eme_path::FiguresAt(now, home, hertz);
    const eme_path::PathFigures alone = eme_path::PathBetween(own, own, hertz);
    char number[64];
    std::snprintf(number, sizeof number, "%lld", std::llround(eme_plan::EchoDoppler(now, home, hertz)));
    out << "{\"echo_doppler_hz\": " << number;
    std::snprintf(number, sizeof number, "%.3Lf", eme_plan::EchoDelay(now, home));
    out << ", \"echo_delay_s\": " << number;
    const auto figures = [&](PathText::Scope scope, const eme_path::PathFigures& path) {
        for (const PathText::Figure& figure : PathText::Figures()) {
            if (figure.scope == scope)
                out << ", \"" << figure.jsonKey << "\": " << PathText::JsonNumber(figure, own, path);
        }
    };
    figures(PathText::Scope::kStation, alone);
    const bool several = options.dxLocators.size() > 1;
    if (several) out << ", \"dx\": [";
    for (std::size_t dx = 0; dx < options.dxLocators.size(); ++dx) {
        const pointing::Station station = PlanSettings::StationOf(options.dxLocators[dx]);
        if (several)
            out << (dx ? ", " : "") << "{\"dx\": \"" << win1252::ToUtf8(options.dxLocators[dx]) << "\""
                << ", ";
        else out << ", ";
        std::snprintf(number, sizeof number, "%lld", std::llround(eme_plan::DxDoppler(now, home, station, hertz)));
        out << "\"dx_doppler_hz\": " << number;
        std::snprintf(number, sizeof number, "%.1Lf", eme_plan::PathLossOverPerigee(now, home, station));
        out << ", \"path_loss_db\": " << number;
        figures(PathText::Scope::kPath, eme_path::PathBetween(own, eme_path::FiguresAt(now, station, hertz), hertz));
        if (several) out << '}';
    }
    out << (several ? "]}\n" : "}\n");
}

void PrintAxis(std::ostream& out, const AxisTransports::Transports& transports, Axis axis, const std::string& type,
               int32_t comNr, int32_t azimuthRange) {
    const char* title = axis == Axis::kAzimuth ? "Azimuth rotator:   " : "Elevation rotator: ";
    out << title << '"' << win1252::ToUtf8(type) << '"';
    const Protocols::Protocol* protocol = Protocols::FindProtocol(axis, type);
    if (protocol == nullptr) {
        out << ": " << Rotators::ReselectMessage(axis) << '\n';
        return;
    }
    out << transports.For(protocol).PlanText(axis, *protocol, comNr, azimuthRange);
}

// Sends once; waits for the results that come after the send (a Hamlib rotator's); then prints
// what became of each axis ("sent", or the first failure's reason and device) and where a rotator
// that says so stands. False when a command failed or a rotator did not answer (a failure has
// shown its message).
bool SendAndPrintResults(std::ostream& out, std::ostream& err, const AxisTransports::Transports& transports,
                         int32_t azimuthRange) {
    for (AxisTransports::AxisTransport* transport : transports.All()) transport->ForgetResults();
    std::optional<std::string> results[2];
    bool allSent = Rotators::SendToRotators(
        transports,
        [&results](const Rotators::SendOutcome& outcome) {
            std::optional<std::string>& result = results[outcome.axis == Axis::kAzimuth ? 0 : 1];
            if (!outcome.send) {
                result = kNotSent;
            } else if (!result || (*result == Station::kSentText && !outcome.result.Sent())) {
                result = Station::ResultText(outcome);
            }
        },
        azimuthRange);
    for (AxisTransports::AxisTransport* transport : transports.All()) {
        if (transport->AwaitResults(kLateResultWait) > 0) {
            err << kProgram << ": a " << transport->Name() << " rotator gave no result within "
                << kLateResultWait.count() << " s\n";
            allSent = false;
        }
    }
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        const char* name = axis == Axis::kAzimuth ? "Azimuth" : "Elevation";
        std::optional<std::string>& result = results[axis == Axis::kAzimuth ? 0 : 1];
        const Protocols::Protocol* protocol =
            Protocols::FindProtocol(axis, axis == Axis::kAzimuth ? Unit3::AZtype : Unit3::ELtype);
        const std::optional<AxisTransports::LateResult> late =
            protocol != nullptr ? transports.For(protocol).LateResultOf(axis) : std::nullopt;
        if (late) {
            allSent = allSent && late->ok;
            result = late->text;
        }
        out << name << " result: " << result.value_or(kNothingSent) << '\n';
        if (late && late->readBack) {
            out << name << " read back: " << TwoDecimals(late->readBack->azimuth) << ' '
                << TwoDecimals(late->readBack->elevation) << '\n';
        }
    }
    return allSent;
}

// The targets at `at` as the [Rotator] settings point them; on an overlapping range, on the side
// chosen for the pass that `at` belongs to.
void PointForThePass(RotatorTracking::Tracker& rotators, Location::Instant at) {
    if (Position::AZvalue.empty()) return;
    rotators.Restart();
    if (rotators.Settings().azimuthRange > RotatorSettings::kStopAtNorth)
        rotators.FollowPassFrom(RotatorTracking::PassStartBefore(at));
    rotators.PointTargets(at);
}

// With an overlapping range: the pass the targets belong to and whether the rotator swings.
void PrintPass(std::ostream& out, const RotatorTracking::Tracker& rotators) {
    const std::string notice = rotators.PassNotice();
    if (!notice.empty()) out << notice << '\n';
}

// Where the settings come from: the file named on the command line, else the program's own.
std::string SettingsExecutable(const Options& options, const std::string& executablePath) {
    namespace fs = std::filesystem;
    if (!options.settingsFile) {
        return Unit3::SettingsExecutablePath((fs::path(executablePath).parent_path() / "lunark").string());
    }
    const std::string& file = *options.settingsFile;
    const std::string_view extension = kSettingsExtension;
    if (file.size() <= extension.size() ||
        file.compare(file.size() - extension.size(), extension.size(), extension) != 0) {
        throw EUsageError("--settings: \"" + file + "\" does not end in .ini");
    }
    std::error_code error;
    if (!fs::is_regular_file(file, error)) throw EUsageError("--settings: cannot read \"" + file + "\"");
    return file;  // a name ending in .ini is its own settings file
}

// The options, in the order --help lists them. A value is "--name value" or "--name=value".
constexpr Option kOptions[] = {
    {"--locator", "LOCATOR",
     [](Options& o, std::string_view name, const std::string& value) { o.locator = LocatorArgument(name, value); },
     "Maidenhead locator of the station, e.g. JO22IC (four characters: the\n"
     "centre of the square)"},
    {"--at", "INSTANT",
     [](Options& o, std::string_view name, const std::string& value) {
         o.at = ParsedArgument(name, value, ParseUtcInstant, "an instant like 2023-03-22T12:00:00Z");
     },
     "the instant in UTC, e.g. 2023-03-22T12:00:00Z (default: now)"},
    {"--az-offset", "N",
     [](Options& o, std::string_view name, const std::string& value) { o.azOffset = DegreesArgument(name, value); },
     "whole degrees added to the azimuth sent"},
    {"--el-offset", "N",
     [](Options& o, std::string_view name, const std::string& value) { o.elOffset = DegreesArgument(name, value); },
     "whole degrees added to the elevation sent"},
    {"--az-type",
     "NAME",
     [](Options& o, std::string_view name, const std::string& value) {
         o.azType = ProtocolArgument(name, Axis::kAzimuth, value);
     },
     "azimuth protocol:",
     {},
     Axis::kAzimuth},
    {"--el-type",
     "NAME",
     [](Options& o, std::string_view name, const std::string& value) {
         o.elType = ProtocolArgument(name, Axis::kElevation, value);
     },
     "elevation protocol:",
     {},
     Axis::kElevation},
    {"--az-hamlib", "MODEL,DEVICE[,SPEED]",
     [](Options& o, std::string_view name, const std::string& value) {
         o.azHamlib = HamlibArgument(name, value, o.notes);
     },
     "the rotator of an azimuth set to \"Hamlib\": Hamlib's model number (see\n"
     "--list-hamlib), its device (a serial path, a /dev/serial/by-id/ name, or\n"
     "host:port of a rotctld for model 2; none for the simulated model 1, as in\n"
     "1,) and, for serial models, the line speed (others ignore it, with a note)"},
    {"--el-hamlib", "MODEL,DEVICE[,SPEED]",
     [](Options& o, std::string_view name, const std::string& value) {
         o.elHamlib = HamlibArgument(name, value, o.notes);
     },
     "likewise for the elevation; both naming one rotator move it in one call"},
    {"--settings", "FILE", [](Options& o, std::string_view, const std::string& value) { o.settingsFile = value; },
     "the settings file to read (a name ending in .ini); default: the Lunark\n"
     "program's own, lunark.ini beside this tool (a build) or in\n"
     "~/.config/lunark (a copy installed under /usr)"},
    {"--send", "", [](Options& o, std::string_view, const std::string&) { o.send = true; },
     "send the commands once to the rotators (ports as in the settings file,\n"
     "device paths from its [Ports] entries, else COM1-32 /dev/ttyS0-31,\n"
     "COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31), then print\n"
     "\"Azimuth result:\" and \"Elevation result:\", each \"sent\" or the\n"
     "reason with the device, e.g. \"permission denied (/dev/ttyUSB0)\""},
    {"--list-hamlib", "", [](Options& o, std::string_view, const std::string&) { o.listHamlib = true; },
     "list the rotator models Hamlib drives: number, manufacturer and name,\n"
     "separated by tabs, one a line"},
    {"--az-range", "0-N",
     [](Options& o, std::string_view name, const std::string& value) {
         o.azRange =
             ParsedArgument(name, value, RotatorSettings::ParseAzimuthRange, "0-360 or 0-N with N from 361 to 540");
     },
     "the azimuth rotator's range: 0-360 (a stop at north) or an overlap past\n"
     "north, N from 361 to 540; each pass is then held on the side that holds\n"
     "it, chosen when it began (azimuths above 359 go only to GS-232A and Hamlib)"},
    {"--el-range", "MIN-MAX",
     [](Options& o, std::string_view name, const std::string& value) {
         o.elRange = ParsedArgument(name, value, RotatorSettings::ParseElevationRange,
                                    "MIN-MAX, whole degrees 0 <= MIN <= MAX <= 180");
     },
     "the elevation range, whole degrees from 0 to 180; elevations outside are\n"
     "held at it"},
    {"--below-horizon", "P",
     [](Options& o, std::string_view name, const std::string& value) {
         o.belowHorizon = ParsedArgument(name, value, RotatorSettings::ParseBelowHorizon,
                                         "follow, park:AZ,EL (AZ 0-540, EL 0-180) or wait");
     },
     "while the Moon is below the horizon: follow (the rotators follow it),\n"
     "park:AZ,EL (point there), or wait (at the azimuth where it next rises, at\n"
     "the lowest elevation)"},
    {"--precise", "", [](Options& o, std::string_view, const std::string&) { o.precise = true; },
     "precise pointing: the topocentric apparent position (the Moon's parallax\n"
     "from its distance, dynamical time) for the station coordinates"},
    {"--target", "moon|sun",
     [](Options& o, std::string_view, const std::string& value) {
         const std::optional<Targets::Target> body = Targets::BodyNamed(value);
         if (!body) {
             std::string names = Targets::BodyNamesJoined("nor");
             for (char& c : names) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
             throw EUsageError("--target: \"" + value + "\" is neither " + names);
         }
         o.target = *body;
     },
     "the body to follow, in any letter case; the unrounded lines then name it"},
    {"--lat",
     "DEG",
     [](Options& o, std::string_view name, const std::string& value) {
         o.latitude = ParsedArgument(name, value, PointingSettings::Latitude, "a number from -90 to 90");
     },
     "the station's latitude, degrees north (south negative), with --lon",
     {{"--lon"}}},
    {"--lon",
     "DEG",
     [](Options& o, std::string_view name, const std::string& value) {
         o.longitude = ParsedArgument(name, value, PointingSettings::Longitude, "a number from -180 to 180");
     },
     "the station's longitude, degrees EAST (west negative), with --lat",
     {{"--lat"}}},
    {"--height",
     "METRES",
     [](Options& o, std::string_view name, const std::string& value) {
         o.height = ParsedArgument(name, value, PointingSettings::Height, "a number of metres from -500 to 9000");
     },
     "the station's height above sea level (default 0), with --lat and --lon\n"
     "(station coordinates count in precise mode only)",
     {{"--lat", "--lon"}, true}},
    {"--frequency", "MHZ",
     [](Options& o, std::string_view name, const std::string& value) {
         o.frequencyMhz = NumberArgument(name, value, 0.001, 1e6);
     },
     "also print the Doppler shift of one's own echo at this frequency (received\n"
     "less sent, whole hertz) and, with --dx, that of the DX station's reception,\n"
     "the path loss relative to the Moon at perigee (356400 km) and the echo delay;\n"
     "with --dx, after the rotators, the path's figures: Spread, DX spread,\n"
     "Polarisation offset, Non-reciprocity, Sun\xE2\x80\x93Moon angle, Doppler rate,\n"
     "Semi-diameter, Sky temperature and Degradation (against the Moon at\n"
     "perigee before the coldest sky, for an 80 K receiving system)"},
    {"--dx",
     "LOCATOR",
     [](Options& o, std::string_view name, const std::string& value) {
         if (o.dxLocators.size() == PlanSettings::kMostDxStations)
             throw EUsageError("--dx: at most " + std::to_string(PlanSettings::kMostDxStations) + " DX stations");
         o.dxLocators.push_back(LocatorArgument(name, value));
     },
     "Maidenhead locator of the DX station; up to eight --dx, each window and\n"
     "line then ends with (--json: \"dx\" names) its station",
     {{"--plan", "--frequency", "--calendar", "--sked"}}},
    {"--plan",
     "",
     [](Options& o, std::string_view, const std::string&) { o.plan = true; },
     "list the windows when the Moon stands above the minimum elevations of both\n"
     "stations (airless topocentric positions): start and end in UTC and the whole\n"
     "minutes, separated by two spaces; an edge cut by the search's start or end\n"
     "is marked with *; with --frequency also the echo and DX Doppler shifts at\n"
     "the window's start, middle and end (\"echo -766/-512/-240 Hz  DX\n"
     "+1073/+1201/+1330 Hz\"); without a window, why there is none",
     {{"--dx"}, true, {"--send", "--at"}}},
    {"--from",
     "DATE",
     [](Options& o, std::string_view name, const std::string& value) {
         o.from = ParsedArgument(name, value, ParseUtcDateOrInstant,
                                 "a date like 2023-03-22 or an instant like 2023-03-22T12:00:00Z");
     },
     "start of the search: YYYY-MM-DD (midnight UTC) or an instant as for --at\n"
     "(default: now)",
     {{"--plan", "--calendar"}}},
    {"--days",
     "N",
     [](Options& o, std::string_view, const std::string& value) {
         int32_t days = 0;
         const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), days);
         if (value.empty() || error != std::errc() || end != value.data() + value.size() || days < 1 || days > 366)
             throw EUsageError("--days: \"" + value + "\" is not a whole number of days from 1 to 366");
         o.days = days;
     },
     "days searched, 1 to 366 (default: 1); the search ends with 9999-12-31",
     {{"--plan", "--calendar"}}},
    {"--min-el",
     "DEG",
     [](Options& o, std::string_view name, const std::string& value) {
         o.minElevation = NumberArgument(name, value, 0, 89);
     },
     "minimum elevation of the home station, 0 to 89 degrees (default: 5)",
     {{"--plan", "--calendar"}}},
    {"--dx-min-el",
     "DEG",
     [](Options& o, std::string_view name, const std::string& value) {
         o.dxMinElevation = NumberArgument(name, value, 0, 89);
     },
     "minimum elevation of the DX station (default: 5)",
     {{"--plan", "--calendar"}}},
    {"--json",
     "",
     [](Options& o, std::string_view, const std::string&) { o.json = true; },
     "print the windows only, as a JSON array of objects with start, end,\n"
     "minutes, max_el and dx_max_el (and with --frequency echo_doppler_hz and\n"
     "dx_doppler_hz, each the three shifts); without --plan, with --frequency:\n"
     "the instant's figures only, as one JSON object with echo_doppler_hz,\n"
     "echo_delay_s, spread_hz, sun_moon_deg, doppler_rate_hz_s,\n"
     "semi_diameter_deg, sky_temperature_k and degradation_db, and per --dx\n"
     "dx_doppler_hz, path_loss_db, dx_spread_hz, polarisation_offset_deg and\n"
     "non_reciprocity_db (with several --dx in an array \"dx\" of objects naming\n"
     "their station)",
     {{"--plan", "--frequency", "--calendar"}, false, {"--send"}}},
    {"--calendar",
     "",
     [](Options& o, std::string_view, const std::string&) { o.calendar = true; },
     "list the days ahead, one a line (default: 30 days from today, --dx and\n"
     "--frequency default to the [Plan] section's): the date, the Moon's highest\n"
     "elevation here and when, hours above the lowest usable elevation, mutual\n"
     "hours with each DX station, and at the highest point the declination, the\n"
     "distance, the path loss over perigee, the Sun\xE2\x80\x93Moon angle (\"!\" under\n"
     "15 degrees), the degradation and its rating; then the marks perigee,\n"
     "apogee, new and full; with --json an array of objects with the same fields",
     {{}, false, {"--plan", "--send", "--at"}}},
    {"--mask", "AZ:EL,...",
     [](Options& o, std::string_view name, const std::string& value) {
         horizon_mask::Parsed parsed = horizon_mask::Parse(value);
         if (!parsed.problem.empty()) throw EUsageError(std::string(name) + ": " + parsed.problem);
         o.mask = std::move(parsed.mask);
     },
     "the horizon seen from home, points AZ:EL joined by straight lines through\n"
     "north (\"\" for none; default: the settings file's [Horizon] Mask): the\n"
     "plan and the calendar count the Moon only above it"},
    {"--sked", "MHZ",
     [](Options& o, std::string_view name, const std::string& value) {
         o.skedMhz = NumberArgument(name, value, 0.001, 1e6);
     },
     "the sked frequency on the air: print after the position the frequencies the\n"
     "Doppler mode puts the radio on, \"Receive: HZ\" and \"Transmit: HZ\" (whole\n"
     "hertz on the air, [Radio] TxOffset added to the transmit frequency)"},
    {"--doppler-mode",
     "MODE",
     [](Options& o, std::string_view name, const std::string& value) {
         o.dopplerMode = ParsedArgument(name, value, RadioSettings::ParseMode,
                                        "\"none\", \"own echo\", \"constant on the Moon\" or \"full for the DX\"");
     },
     "how the radio corrects (default: [Radio] Mode): \"own echo\" (receive\n"
     "f0+2d, transmit f0), \"constant on the Moon\" (f0+d, f0-d), \"full for the\n"
     "DX\" (f0+d+dx, f0-d-dx, the DX station from --dx, [Radio] DX or the Plan\n"
     "page's first) or \"none\"; d and dx the one-way Doppler of each station",
     {{"--sked"}, true}},
    {"--lo",
     "MHZ",
     [](Options& o, std::string_view name, const std::string& value) {
         o.loMhz = NumberArgument(name, value, -1e6, 1e6);
     },
     "a transverter's local oscillator (default: [Radio] LO), negative for a\n"
     "high-side one: also print \"Rig receive: HZ\" and \"Rig transmit: HZ\"",
     {{"--sked"}, true}},
    {"--rig",
     "MODEL,DEVICE[,SPEED]",
     [](Options& o, std::string_view name, const std::string& value) { o.rig = RigArgument(name, value); },
     "the radio for --send (default: [Radio] Model, Device and Speed): Hamlib's\n"
     "rig model, its device (host:port of a rigctld for model 2; none for the\n"
     "simulated model 1) and line speed; --send then sets the frequencies and\n"
     "prints \"Radio result: set\" (or the reason and device) and \"Radio read\n"
     "back: RX_HZ TX_HZ\" (the rig's dial)",
     {{"--sked"}, true}},
    {"--help", "", [](Options& o, std::string_view, const std::string&) { o.help = true; }, "show this text"},
    {"-h", "", [](Options& o, std::string_view, const std::string&) { o.help = true; }, ""},
    {"--version", "", [](Options& o, std::string_view, const std::string&) { o.version = true; },
     "show the version of Lunark"},
};
static_assert(std::size(kOptions) == 36);

const Option* FindOption(std::string_view name) {
    for (const Option& option : kOptions) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

// "a, b and c"
std::string JoinedList(const std::vector<std::string_view>& names, std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? last : ", ");
        text += names[i];
    }
    return text;
}

// Why an option given without any of its companions is refused: "--lat and --lon go together",
// "--from, --days ... go with --plan" (every option with the same companions), "--height needs --lat
// and --lon", "--plan needs --dx LOCATOR" (one companion is named with its value).
std::string WithoutCompanionText(const Option& option) {
    const Companions& companions = option.goesWith;
    std::vector<std::string_view> with;
    for (const std::string_view name : companions.with) {
        if (!name.empty()) with.push_back(name);
    }
    if (const Option* other = with.size() == 1 ? FindOption(with.front()) : nullptr;
        other != nullptr && other->goesWith.with == decltype(Companions::with){option.name}) {
        const bool first = &option < other;
        return std::string(first ? option.name : other->name) + " and " +
               std::string(first ? other->name : option.name) + " go together";
    }
    std::string companionText = JoinedList(with, companions.needs ? " and " : " or ");
    if (with.size() == 1 && companions.needs) companionText += " " + std::string(FindOption(with.front())->argument);
    std::vector<std::string_view> alike;
    for (const Option& other : kOptions) {
        if (other.goesWith.with == companions.with && other.goesWith.needs == companions.needs)
            alike.push_back(other.name);
    }
    if (alike.size() > 1) return JoinedList(alike, " and ") + " go with " + companionText;
    return std::string(option.name) + (companions.needs ? " needs " : " goes with ") + companionText;
}

std::string BesideExcludedText(const Option& option) {
    const auto& without = option.goesWith.without;
    std::vector<std::string_view> names;
    for (const std::string_view name : without) {
        if (!name.empty()) names.push_back(name);
    }
    return std::string(option.name) + (names.size() == 1 ? " does not go with " + std::string(names[0])
                                                         : " goes with neither " + JoinedList(names, " nor "));
}

// An option counts as given when it sets something of its own: "--days 1" alone asks for what is
// done anyway and goes without --plan.
bool SetsSomething(const Option& option, const std::string& value) {
    Options alone;
    option.handler(alone, option.name, value);
    return !(alone == Options{});
}

// Each option given checks its companions; an option's companions are checked after those of the
// options listed after it (so that the plan's options are judged before the station's).
void CheckCompanions(const std::set<std::string_view>& given) {
    for (auto option = std::rbegin(kOptions); option != std::rend(kOptions); ++option) {
        if (!given.contains(option->name)) continue;
        const Companions& companions = option->goesWith;
        const auto isGiven = [&given](std::string_view name) { return !name.empty() && given.contains(name); };
        if (!companions.with[0].empty() && std::none_of(companions.with.begin(), companions.with.end(), isGiven))
            throw EUsageError(WithoutCompanionText(*option));
        if (std::any_of(companions.without.begin(), companions.without.end(), isGiven))
            throw EUsageError(BesideExcludedText(*option));
    }
}

// An option's line of --help: the name and value, the description from the description column.
std::string OptionHelp(const Option& option) {
    const std::string label =
        std::string(option.name) + (option.argument.empty() ? "" : " ") + std::string(option.argument);
    if (option.protocolsOf) return ProtocolOptionHelp(label, option.help, *option.protocolsOf);
    std::string help = "  " + label;
    if (help.size() < kHelpIndent) {
        help.resize(kHelpIndent, ' ');
    } else {
        help += '\n' + std::string(kHelpIndent, ' ');
    }
    for (const char c : option.help) {
        help += c;
        if (c == '\n') help += std::string(kHelpIndent, ' ');
    }
    return help + '\n';
}

}  // namespace

std::span<const Option> OptionTable() {
    return kOptions;
}

Options ParseArguments(const std::vector<std::string>& arguments) {
    Options options;
    std::set<std::string_view> given;
    bool daysTyped = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> attached;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            attached = name.substr(equals + 1);
            name.resize(equals);
        }
        const Option* option = FindOption(name);
        if (option == nullptr) throw EUsageError("unknown argument \"" + arguments[i] + "\"");
        std::string value;
        if (option->argument.empty()) {
            if (attached) throw EUsageError(name + " takes no value");
        } else if (attached) {
            value = *attached;
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            throw EUsageError(name + " needs a value");
        }
        option->handler(options, name, value);
        if (option->name == "--days") daysTyped = true;
        if (SetsSomething(*option, value)) {
            given.insert(option->name);
        } else {
            given.erase(option->name);
        }
    }
    CheckCompanions(given);
    if (options.calendar && !daysTyped) options.days = kCalendarDays;
    return options;
}

std::optional<Location::Instant> ParseUtcDateOrInstant(std::string_view text) {
    if (text.size() != 10) return ParseUtcInstant(text);
    std::string midnight(text);
    midnight += "T00:00:00Z";
    return ParseUtcInstant(midnight);
}

std::optional<Location::Instant> ParseUtcInstant(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS, fixed positions
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() < 20 || !ReadDigits(text, 0, 4, year) || text[4] != '-' || !ReadDigits(text, 5, 2, month) ||
        text[7] != '-' || !ReadDigits(text, 8, 2, day) || text[10] != 'T' || !ReadDigits(text, 11, 2, hour) ||
        text[13] != ':' || !ReadDigits(text, 14, 2, minute) || text[16] != ':' || !ReadDigits(text, 17, 2, second)) {
        return std::nullopt;
    }
    std::size_t at = 19;
    microseconds fraction{0};
    if (text[at] == '.') {
        ++at;
        long long scale = 100000;  // digits past the sixth are read and dropped
        const std::size_t first = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - first < 9) {
            fraction += microseconds((text[at] - '0') * scale);
            scale /= 10;
            ++at;
        }
        if (at == first) return std::nullopt;
    }
    if (at + 1 != text.size() || text[at] != 'Z') return std::nullopt;
    const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (year < 1 || !date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return Location::Instant(sys_days(date)) + hours(hour) + minutes(minute) + seconds(second) + fraction;
}

int Run(const std::vector<std::string>& arguments, const std::string& executablePath, std::ostream& out,
        std::ostream& err) {
    HamlibTransport::Axes hamlib;  // results kept for the run, told to no journal
    return Run(arguments, executablePath, out, err, hamlib);
}

int Run(const std::vector<std::string>& arguments, const std::string& executablePath, std::ostream& out,
        std::ostream& err, HamlibTransport::Axes& hamlib) {
    Options options;
    try {
        options = ParseArguments(arguments);
        for (const std::string& note : options.notes) err << kProgram << ": " << note << '\n';
        if (options.help) {
            out << kHelpBeforeOptions;
            for (const Option& option : kOptions) {
                if (!option.help.empty()) out << OptionHelp(option);
            }
            out << kHelpAfterOptions;
            return 0;
        }
        if (options.version) {
            out << kProgram << ' ' << LUNARK_VERSION << '\n';
            return 0;
        }
        if (options.listHamlib) {
            for (const HamlibModels::Model& model : HamlibModels::Models()) {
                out << model.number << '\t' << model.manufacturer << '\t' << model.name << '\n';
            }
            return 0;
        }
        Unit3::ExecutablePath = SettingsExecutable(options, executablePath);
    } catch (const EUsageError& error) {
        err << kProgram << ": " << error.what() << "\nTry '" << kProgram << " --help'.\n";
        return 2;
    }

    const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    std::error_code missing;
    const bool settingsRead = std::filesystem::exists(settingsFile, missing);
    Unit3::LoadSettings(Unit3::ExecutablePath);
    if (options.locator) Unit3::Locator = *options.locator;
    if (options.azOffset) Unit3::AZoffset = *options.azOffset;
    if (options.elOffset) Unit3::ELoffset = *options.elOffset;
    if (options.azType) Unit3::AZtype = *options.azType;
    if (options.elType) Unit3::ELtype = *options.elType;
    hamlib.SetAxisRotatorForRun(Axis::kAzimuth, options.azHamlib);
    hamlib.SetAxisRotatorForRun(Axis::kElevation, options.elHamlib);
    AxisTransports::Transports transports(hamlib);
    Journal::Journal unshown;  // the program shows no journal: Load's note of a park position goes nowhere
    RotatorSettings::Settings rotatorSettings = RotatorSettings::Load(unshown, settingsFile);
    if (options.azRange) rotatorSettings.azimuthRange = *options.azRange;
    if (options.elRange) rotatorSettings.elevation = *options.elRange;
    if (options.belowHorizon) rotatorSettings.belowHorizon = *options.belowHorizon;
    if (const std::string problem = RotatorSettings::ParkProblem(rotatorSettings); !problem.empty()) {
        err << kProgram << ": --below-horizon: \"" << RotatorSettings::BelowHorizonText(rotatorSettings.belowHorizon)
            << "\": " << problem << '\n';
        return 2;
    }
    RotatorTracking::Tracker rotators(transports);
    rotators.Use(rotatorSettings);
    if (const std::string problem = PlanSettings::LocatorProblem(Unit3::Locator); !problem.empty()) {
        err << kProgram << ": the locator \"" << win1252::ToUtf8(Unit3::Locator) << "\" of the settings file "
            << settingsFile << ' ' << problem << "; give one with --locator\n";
        return 2;
    }
    PointingSettings::Settings pointing = PointingSettings::Read(settingsFile);
    pointing.precise = pointing.precise || options.precise;
    if (options.target) pointing.target = *options.target;
    if (options.latitude) {
        if (!pointing.precise) {
            err << kProgram << ": station coordinates count in precise mode only; add --precise\n";
            return 2;
        }
        pointing.station = pointing::Station{*options.latitude, *options.longitude, options.height.value_or(0)};
    }
    if (options.at) {
        const Location::Instant at = *options.at;
        Location::SetClock([at] { return at; });
    }
    Position::SetPointingSource([pointing] { return pointing; });
    const auto previousHandler = Messages::SetMessageHandler(
        [&err](const std::string& text) { err << kProgram << ": " << win1252::ToUtf8(text) << '\n'; });

    const HorizonSettings::Settings horizon = HorizonSettings::Read(settingsFile);
    if (!options.mask && !horizon.problem.empty())
        err << kProgram << ": [" << HorizonSettings::kSection << "] " << horizon.problem << "; no mask is used\n";
    rotators.UseMask(options.mask.value_or(horizon.mask));

    int status = 0;
    RadioSettings::Settings radio;
    std::optional<RadioSettings::Tuning> tuning;
    try {
        // The file name is the system's bytes, printed as they are.
        if (options.plan || options.calendar) {
            const pointing::Station home = PlanSettings::HomeStation(Unit3::Locator, pointing.station);
            if (!options.json)
                out << "Settings: " << (settingsRead ? settingsFile : std::string("none, defaults used")) << '\n';
            if (options.plan) {
                PrintPlan(out, options, home, rotators.Mask());
            } else {
                PrintCalendar(out, options, home, rotators.Mask(), settingsFile);
            }
        } else if (options.json) {
            PrintFiguresJson(out, options, PlanSettings::HomeStation(Unit3::Locator, pointing.station));
        } else {
            out << "Settings: " << (settingsRead ? settingsFile : std::string("none, defaults used")) << '\n';
            Position::UpdatePosition();
            PointForThePass(rotators, Location::Now());
            out << win1252::ToUtf8(Position::AzimuthLine) << '\n' << win1252::ToUtf8(Position::ElevationLine) << '\n';
            const std::string body = Targets::Name(pointing.target);
            out << body << " azimuth:   " << Degrees(Position::TargetAzimuth) << '\n';
            out << body << " elevation: " << Degrees(Position::TargetElevation) << '\n';
            if (options.frequencyMhz)
                PrintDoppler(out, options, PlanSettings::HomeStation(Unit3::Locator, pointing.station));
            if (options.skedMhz) {
                radio = RadioForRun(options, settingsFile);
                tuning = PrintRadio(out, err, radio, PlanSettings::HomeStation(Unit3::Locator, pointing.station),
                                    settingsFile);
                if (!tuning && radio.mode != RadioSettings::Mode::kNone) status = 1;
            }
            PrintAxis(out, transports, Axis::kAzimuth, Unit3::AZtype, Unit3::AZ_COM_NR, rotatorSettings.azimuthRange);
            PrintAxis(out, transports, Axis::kElevation, Unit3::ELtype, Unit3::EL_COM_NR, rotatorSettings.azimuthRange);
            PrintPass(out, rotators);
            if (options.frequencyMhz && !options.dxLocators.empty())
                PrintPathFigures(out, options, PlanSettings::HomeStation(Unit3::Locator, pointing.station));
        }
        out.flush();
        if (options.send && !SendAndPrintResults(out, err, transports, rotatorSettings.azimuthRange)) status = 1;
        if (options.send && tuning && radio.rig.model > 0 && !SendToRadio(out, radio, *tuning)) status = 1;
    } catch (const std::exception& error) {
        err << kProgram << ": " << error.what() << '\n';
        status = 1;
    }
    Messages::SetMessageHandler(previousHandler);
    Location::SetClock(nullptr);
    Position::SetPointingSource(nullptr);
    return status;
}

}  // namespace PositionTool
