// SPDX-License-Identifier: GPL-3.0-or-later
#include "WsjtxSettings.h"

#include "IniFile.h"
#include "LinkSettings.h"

namespace WsjtxSettings {

namespace {

using LinkSettings::Trimmed;

Settings FromKeyTexts(const KeyTexts& texts) {
    Settings settings;
    settings.enabled = Trimmed(texts[0].second) == "1";
    const std::string address = Trimmed(texts[1].second);
    if (LinkSettings::AddressText(address)) settings.address = address;
    settings.port = LinkSettings::PortNumber(texts[2].second).value_or(kDefaultPort);
    return settings;
}

}  // namespace

const Key kKeys[3] = {{"Enabled", "0"}, {"Address", kDefaultAddress}, {"Port", "2237"}};

KeyTexts Texts(const Settings& settings) {
    return {{kKeys[0].key, settings.enabled ? "1" : "0"},
            {kKeys[1].key, settings.address},
            {kKeys[2].key, std::to_string(settings.port)}};
}

Settings Load(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    KeyTexts texts;
    for (const Key& key : kKeys) texts.emplace_back(key.key, ini.ReadString(kSection, key.key, key.byDefault));
    return FromKeyTexts(texts);
}

std::optional<Settings> FromTexts(const KeyTexts& texts, std::string& problem) {
    const auto text = [&texts](std::size_t index) { return Trimmed(index < texts.size() ? texts[index].second : ""); };
    if (const std::string enabled = text(0); !enabled.empty() && enabled != "0" && enabled != "1") {
        problem = "Enabled is 0 or 1.";
    } else if (!text(1).empty() && !LinkSettings::AddressText(text(1))) {
        problem = "The address is an IP address or a multicast group, without blanks.";
    } else if (!text(2).empty() && !LinkSettings::PortNumber(text(2))) {
        problem = "The port is a whole number from 1 to 65535.";
    } else {
        KeyTexts filled;
        for (std::size_t i = 0; i < std::size(kKeys); ++i) {
            filled.emplace_back(kKeys[i].key, text(i).empty() ? std::string(kKeys[i].byDefault) : text(i));
        }
        return FromKeyTexts(filled);
    }
    return std::nullopt;
}

void Save(const std::string& settingsFile, const Settings& settings) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();
    const KeyTexts texts = Texts(settings);
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        if (ini.ReadString(kSection, kKeys[i].key, kKeys[i].byDefault) != texts[i].second) {
            ini.WriteString(kSection, kKeys[i].key, texts[i].second);
        }
    }
}

}  // namespace WsjtxSettings
