// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LinkSettings.h"

// Where Lunark hears the weak-signal program's UDP messages, off until the operator turns it on:
//
//   [WSJT]  Enabled=1          listen (default 0)
//           Address=127.0.0.1  the address the program sends to: this computer's, or a multicast
//                              group such as 239.255.0.1 that a logger can share (default 127.0.0.1)
//           Port=2237          its UDP port, 1-65535 (default 2237, the program's own default)
//
// A value that cannot be used takes its default.
namespace WsjtxSettings {

inline constexpr char kSection[] = "WSJT";
inline constexpr char kDefaultAddress[] = "127.0.0.1";
inline constexpr int32_t kDefaultPort = 2237;

struct Settings {
    bool enabled = false;
    std::string address = kDefaultAddress;
    int32_t port = kDefaultPort;
    bool operator==(const Settings&) const = default;
};

extern const LinkSettings::Key kKeys[3];

// The settings as texts, in the order of kKeys.
using LinkSettings::KeyTexts;
KeyTexts Texts(const Settings& settings);

// A missing file reads as the defaults.
Settings Load(const std::string& settingsFile);

// The texts an operator entered (in the order of kKeys; an empty text takes the default); nullopt
// with `problem` saying, for the operator, what is wrong.
std::optional<Settings> FromTexts(const KeyTexts& texts, std::string& problem);

// Writes each key whose text differs from the file's, under one lock. Raises EIniWriteError.
void Save(const std::string& settingsFile, const Settings& settings);

}  // namespace WsjtxSettings
