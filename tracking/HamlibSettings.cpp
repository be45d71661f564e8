// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibSettings.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "HamlibModels.h"
#include "IniFile.h"
#include "Journal.h"

namespace HamlibSettings {

namespace {

using HamlibRotator::Address;
using Protocols::Axis;

struct AxisKeys {
    const char* model;
    const char* device;
    const char* speed;
    const char* axisName;  // as the operator reads it in a message
};
constexpr AxisKeys kAzimuthKeys{"AzModel", "AzDevice", "AzSpeed", "azimuth"};
constexpr AxisKeys kElevationKeys{"ElModel", "ElDevice", "ElSpeed", "elevation"};

const AxisKeys& KeysOf(Axis axis) {
    return axis == Axis::kAzimuth ? kAzimuthKeys : kElevationKeys;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

}  // namespace

std::vector<std::string> KeyNames() {
    std::vector<std::string> names;
    for (const AxisKeys& keys : {kAzimuthKeys, kElevationKeys})
        names.insert(names.end(), {keys.model, keys.device, keys.speed});
    return names;
}

std::optional<Address> Load(const std::string& settingsFile, Axis axis) {
    const AxisKeys& keys = KeysOf(axis);
    const TIniFile settings(settingsFile);
    const int32_t model = settings.ReadInteger(kSection, keys.model, 0);
    if (model <= 0) return std::nullopt;
    return Address{model, settings.ReadString(kSection, keys.device, ""),
                   std::max(0, settings.ReadInteger(kSection, keys.speed, 0))};
}

std::string Problem(Axis axis, const Address& rotator) {
    const std::string name = KeysOf(axis).axisName;
    const HamlibModels::Model* model = HamlibModels::FindModel(rotator.model);
    if (model == nullptr) return "Hamlib has no rotator model " + std::to_string(rotator.model);
    const std::string& device = rotator.device;
    if (device.empty()) {
        if (!model->needsDevice) return {};
        return "Give the device of the " + name + " rotator: " +
               (model->serial ? "its serial line (/dev/ttyUSB0, /dev/serial/by-id/...)"
                              : "where it is reached (host:port, localhost:4533)");
    }
    const bool printable = std::ranges::all_of(device, [](char c) { return c >= ' ' && c < 0x7F; }) &&
                           device.front() != ' ' && device.back() != ' ';
    if (!printable)
        return "The device of the " + name + " rotator must be printable ASCII text without blanks around it";
    if (IsQuote(device.front()) && device.back() == device.front())
        return "The device of the " + name + " rotator must not be quoted";
    if (device.size() > TIniFile::kMaxValueLength)
        return "The device of the " + name + " rotator is longer than " + std::to_string(TIniFile::kMaxValueLength) +
               " characters";
    if (rotator.lineSpeed < 0) return "The line speed of the " + name + " rotator must be positive";
    return {};
}

int Save(Journal::Journal& journal, const std::string& settingsFile, Axis axis, const std::optional<Address>& rotator) {
    if (rotator) {
        if (const std::string problem = Problem(axis, *rotator); !problem.empty()) throw std::invalid_argument(problem);
    }
    struct Key {
        const char* name;
        std::string value;
        const char* unset;  // what a missing key reads as
    };
    const AxisKeys& keys = KeysOf(axis);
    std::vector<Key> wanted{{keys.model, rotator ? std::to_string(rotator->model) : "0", "0"}};
    // Without a rotator the device and speed stay as they are, for the day the model is chosen again.
    if (rotator) {
        wanted.push_back({keys.device, rotator->device, ""});
        wanted.push_back({keys.speed, std::to_string(rotator->lineSpeed), "0"});
    }
    TIniFile settings(settingsFile);
    int changed = 0;
    try {
        settings.LockForUpdate();  // the keys of one change reach the file together
        for (const Key& key : wanted) {
            const std::string stored = settings.ReadString(kSection, key.name, key.unset);
            if (stored == key.value) continue;
            settings.WriteString(kSection, key.name, key.value);
            // A key the file did not hold reads "none", as on the other station pages.
            journal.Add(std::string("Settings: ") + key.name + " " + (stored.empty() ? "none" : stored) + " -> " +
                        key.value);
            ++changed;
        }
    } catch (const EIniWriteError& error) {
        journal.Add(std::string("Settings: the Hamlib rotator of the ") + keys.axisName + " not kept: " + error.what());
        throw;
    }
    return changed;
}

}  // namespace HamlibSettings
