// SPDX-License-Identifier: GPL-3.0-or-later
#include "WsjtxSettings.h"

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

const LinkSettings::Key kKeys[3] = {
    {kSection, "Enabled", "0"}, {kSection, "Address", kDefaultAddress}, {kSection, "Port", "2237"}};

KeyTexts Texts(const Settings& settings) {
    return {{kKeys[0].key, settings.enabled ? "1" : "0"},
            {kKeys[1].key, settings.address},
            {kKeys[2].key, std::to_string(settings.port)}};
}

Settings Load(const std::string& settingsFile) {
    return FromKeyTexts(LinkSettings::Read(settingsFile, kKeys));
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
        return FromKeyTexts(LinkSettings::Filled(kKeys, texts));
    }
    return std::nullopt;
}

void Save(const std::string& settingsFile, const Settings& settings) {
    LinkSettings::WriteChanged(settingsFile, kKeys, Texts(settings));
}

}  // namespace WsjtxSettings
