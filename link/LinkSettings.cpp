// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkSettings.h"

#include <charconv>

#include "HamlibSettings.h"
#include "IniFile.h"

namespace LinkSettings {

namespace {

constexpr char kEnabledKey[] = "Enabled";
constexpr char kPortKey[] = "Port";
constexpr char kAddressKey[] = "Address";
constexpr char kCommandsKey[] = "Commands";
constexpr char kAzelFileKey[] = "AzelFile";

std::optional<Commands> CommandsNamed(const std::string& text) {
    const std::string trimmed = Trimmed(text);
    if (trimmed == "refuse") return Commands::kRefuse;
    if (trimmed == "follow") return Commands::kFollow;
    return std::nullopt;
}

// Each setting's text, read from the file or entered, by its place in kKeys.
Settings FromKeyTexts(const KeyTexts& texts) {
    Settings settings;
    settings.serverEnabled = Trimmed(texts[0].second) == "1";
    settings.port = PortNumber(texts[1].second).value_or(kDefaultPort);
    const std::string address = Trimmed(texts[2].second);
    if (AddressText(address)) settings.address = address;
    settings.commands = CommandsNamed(texts[3].second).value_or(Commands::kRefuse);
    settings.azelFile = Trimmed(texts[4].second);
    return settings;
}

}  // namespace

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<int32_t> PortNumber(const std::string& text) {
    int32_t port = 0;
    const std::string trimmed = Trimmed(text);
    const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), port);
    if (error != std::errc() || end != trimmed.data() + trimmed.size() || port < 1 || port > 65535) return std::nullopt;
    return port;
}

bool AddressText(const std::string& text) {
    if (text.empty() || text.size() > 255) return false;
    for (const char c : text) {
        if (c <= ' ' || c > '~' || c == '"' || c == '\'') return false;
    }
    return true;
}

const Key kKeys[5] = {
    {kServerSection, kEnabledKey, "0"},
    {kServerSection, kPortKey, "4535"},
    {kServerSection, kAddressKey, kDefaultAddress},
    {kServerSection, kCommandsKey, "refuse"},
    {kLinkSection, kAzelFileKey, ""},
};

const char* CommandsText(Commands commands) {
    return commands == Commands::kFollow ? "follow" : "refuse";
}

KeyTexts Texts(const Settings& settings) {
    return {{kEnabledKey, settings.serverEnabled ? "1" : "0"},
            {kPortKey, std::to_string(settings.port)},
            {kAddressKey, settings.address},
            {kCommandsKey, CommandsText(settings.commands)},
            {kAzelFileKey, settings.azelFile}};
}

Settings Load(const std::string& settingsFile) {
    return FromKeyTexts(Read(settingsFile, kKeys));
}

std::optional<Settings> FromTexts(const KeyTexts& texts, std::string& problem) {
    const auto text = [&texts](std::size_t index) { return Trimmed(index < texts.size() ? texts[index].second : ""); };
    if (const std::string enabled = text(0); !enabled.empty() && enabled != "0" && enabled != "1") {
        problem = "Enabled is 0 or 1.";
    } else if (!text(1).empty() && !PortNumber(text(1))) {
        problem = "The port is a whole number from 1 to 65535.";
    } else if (!text(2).empty() && !AddressText(text(2))) {
        problem = "The address is a host name or an IP address, without blanks.";
    } else if (!text(3).empty() && !CommandsNamed(text(3))) {
        problem = "Commands are \"refuse\" or \"follow\".";
    } else if (text(4).size() > TIniFile::kMaxValueLength) {
        problem = "The azel.dat path is longer than 1023 bytes.";
    } else {
        return FromKeyTexts(Filled(kKeys, texts));
    }
    return std::nullopt;
}

void Save(const std::string& settingsFile, const Settings& settings) {
    WriteChanged(settingsFile, kKeys, Texts(settings));
}

KeyTexts Filled(std::span<const Key> keys, const KeyTexts& entered) {
    KeyTexts filled;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string text = i < entered.size() ? Trimmed(entered[i].second) : std::string();
        filled.emplace_back(keys[i].key, text.empty() ? std::string(keys[i].byDefault) : text);
    }
    return filled;
}

KeyTexts Read(const std::string& settingsFile, std::span<const Key> keys) {
    const TIniFile ini(settingsFile);
    KeyTexts texts;
    for (const Key& key : keys) texts.emplace_back(key.key, ini.ReadString(key.section, key.key, key.byDefault));
    return texts;
}

void WriteChanged(const std::string& settingsFile, std::span<const Key> keys, const KeyTexts& texts) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();  // compared and written as one change
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Key& key = keys[i];
        if (ini.ReadString(key.section, key.key, key.byDefault) != texts[i].second) {
            ini.WriteString(key.section, key.key, texts[i].second);
        }
    }
}

std::string PortProblem(const std::string& settingsFile, int32_t port) {
    for (const Protocols::Axis axis : {Protocols::Axis::kAzimuth, Protocols::Axis::kElevation}) {
        const std::optional<HamlibRotator::Address> rotator = HamlibSettings::Load(settingsFile, axis);
        if (!rotator) continue;
        const std::size_t colon = rotator->device.rfind(':');
        if (colon == std::string::npos) continue;
        if (PortNumber(rotator->device.substr(colon + 1)) == port) {
            return "Port " + std::to_string(port) + " is the port of the " +
                   (axis == Protocols::Axis::kAzimuth ? "azimuth" : "elevation") + " Hamlib rotator (" +
                   rotator->device + "): the server would answer Lunark itself. Choose another port.";
        }
    }
    return {};
}

bool IsLocalOnly(const std::string& address) {
    return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

}  // namespace LinkSettings
