// SPDX-License-Identifier: GPL-3.0-or-later
#include "HorizonSettings.h"

#include "IniFile.h"

namespace HorizonSettings {

const Key kKeys[1] = {
    {"Mask", ""},
};

Settings Read(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    horizon_mask::Parsed parsed = horizon_mask::Parse(ini.ReadString(kSection, kKeys[0].name, kKeys[0].absent));
    return {std::move(parsed.mask), std::move(parsed.problem)};
}

std::vector<std::pair<std::string, std::string>> KeyTexts(const horizon_mask::Mask& mask) {
    return {{kKeys[0].name, horizon_mask::Text(mask)}};
}

void Write(const std::string& settingsFile, const horizon_mask::Mask& mask) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();
    for (const auto& [key, text] : KeyTexts(mask)) ini.WriteString(kSection, key, text);
}

}  // namespace HorizonSettings
