// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

// What Lunark shares with the station's other programs, each part off until the operator turns it on:
//
//   [Server]  Enabled=1          the rotctld-compatible server (default 0)
//             Port=4535          its TCP port, 1-65535 (default 4535, not rotctld's own 4533)
//             Address=127.0.0.1  the address it listens on (default 127.0.0.1, this computer only)
//             Commands=refuse    refuse: a client may move the rotators only while Lunark does not
//                                track; follow: a client's set position ends Lunark's tracking
//   [Link]    AzelFile=PATH      the azel.dat file written every second (default empty: none)
//
// A value that cannot be used takes its default.
namespace LinkSettings {

inline constexpr char kServerSection[] = "Server";
inline constexpr char kLinkSection[] = "Link";
inline constexpr int32_t kDefaultPort = 4535;
inline constexpr char kDefaultAddress[] = "127.0.0.1";

enum class Commands { kRefuse, kFollow };

struct Settings {
    bool serverEnabled = false;
    int32_t port = kDefaultPort;
    std::string address = kDefaultAddress;
    Commands commands = Commands::kRefuse;
    std::string azelFile;  // empty: no file
    bool operator==(const Settings&) const = default;
};

// One key of a section, as the settings file keeps it.
struct Key {
    const char* section;
    const char* key;
    const char* byDefault;  // the text of the default
};
extern const Key kKeys[5];

// The settings as texts, in the order of kKeys.
using KeyTexts = std::vector<std::pair<std::string, std::string>>;
KeyTexts Texts(const Settings& settings);

// "refuse", "follow".
const char* CommandsText(Commands commands);

// Reads both sections; a missing file reads as the defaults.
Settings Load(const std::string& settingsFile);

// The settings texts an operator entered give (in the order of kKeys; an empty text takes the
// default); nullopt with `problem` saying, for the operator, what is wrong.
std::optional<Settings> FromTexts(const KeyTexts& texts, std::string& problem);

// Writes each key whose text differs from the file's under one lock, leaving every other line as it
// is; the defaults are not written into a file that lacks them. Raises EIniWriteError.
void Save(const std::string& settingsFile, const Settings& settings);

// Why the server cannot listen on its port, for the operator, or empty: a Hamlib rotator of the
// settings file is reached through the same port ("localhost:4535"), and the server would answer
// Lunark itself.
std::string PortProblem(const std::string& settingsFile, int32_t port);

// The texts of these keys in the file, their defaults where the file lacks them.
KeyTexts Read(const std::string& settingsFile, std::span<const Key> keys);

// The entered texts (in the order of `keys`), trimmed, an empty one replaced by its key's default.
KeyTexts Filled(std::span<const Key> keys, const KeyTexts& entered);

// Writes each key whose text differs from the file's under one lock, leaving every other line as it
// is. Raises EIniWriteError.
void WriteChanged(const std::string& settingsFile, std::span<const Key> keys, const KeyTexts& texts);

// The text without its leading and trailing blanks.
std::string Trimmed(const std::string& text);

// A TCP or UDP port, 1-65535, written as a whole number.
std::optional<int32_t> PortNumber(const std::string& text);

// Printable ASCII without blanks: what a host name or an IP address is made of.
bool AddressText(const std::string& text);

// Whether an address reaches this computer only (127.0.0.0/8, ::1, "localhost").
bool IsLocalOnly(const std::string& address);

}  // namespace LinkSettings
