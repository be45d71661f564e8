// SPDX-License-Identifier: GPL-3.0-or-later
// The documentation agrees with the program: the settings reference names every key the code reads,
// section by section, and every relative link of the README and the pages under docs/ leads to a file
// (and, for a heading, to one that is there).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "BuildPaths.h"
#include "HamlibSettings.h"
#include "HorizonSettings.h"
#include "LinkSettings.h"
#include "PlanSettings.h"
#include "PointingSettings.h"
#include "RadioSettings.h"
#include "RotatorSettings.h"
#include "SerialTransport.h"
#include "StationSettings.h"
#include "Unit3.h"
#include "WsjtxSettings.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSource = LUNARK_SOURCE_DIR;

// The names of a key table whose rows name their key in the member kName.
template <const auto& kTable, auto kName>
std::vector<std::string> NamesOf() {
    std::vector<std::string> names;
    for (const auto& row : kTable) names.emplace_back(row.*kName);
    return names;
}

// The keys of one section of the [Server] and [Link] table, whose rows name their section.
template <const char* kName>
std::vector<std::string> LinkKeysOf() {
    std::vector<std::string> names;
    for (const LinkSettings::Key& row : LinkSettings::kKeys) {
        if (std::string_view(row.section) == kName) names.emplace_back(row.key);
    }
    return names;
}

// Every section of the settings file with its key table; a new section is one line here.
struct Section {
    const char* name;
    std::vector<std::string> (*keys)();
};
const Section kSections[] = {
    {Unit3::kSection, Unit3::KeyNames},
    {SerialTransport::kSection, SerialTransport::KeyNames},
    {PointingSettings::kSection, PointingSettings::KeyNames},
    {RotatorSettings::kSection, RotatorSettings::KeyNames},
    {HamlibSettings::kSection, HamlibSettings::KeyNames},
    {PlanSettings::kSection, PlanSettings::KeyNames},
    {StationSettings::kSection, StationSettings::KeyNames},
    {RadioSettings::kSection, NamesOf<RadioSettings::kKeys, &RadioSettings::Key::key>},
    {LinkSettings::kServerSection, LinkKeysOf<LinkSettings::kServerSection>},
    {LinkSettings::kLinkSection, LinkKeysOf<LinkSettings::kLinkSection>},
    {HorizonSettings::kSection, NamesOf<HorizonSettings::kKeys, &HorizonSettings::Key::name>},
    {WsjtxSettings::kSection, NamesOf<WsjtxSettings::kKeys, &LinkSettings::Key::key>},
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a Markdown page outside its fenced code blocks.
std::vector<std::string> ProseLines(const std::string& page) {
    std::vector<std::string> lines;
    std::istringstream in(page);
    bool fenced = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("```", 0) == 0) {
            fenced = !fenced;
            continue;
        }
        if (!fenced) lines.push_back(line);
    }
    return lines;
}

// The part of the settings reference under "### [name]", up to the next heading of that level or above.
std::string SectionText(const std::string& page, const std::string& name) {
    std::string text;
    bool inside = false;
    for (const std::string& line : ProseLines(page)) {
        if (line.rfind("#", 0) == 0 && line.rfind("####", 0) != 0) inside = line == "### [" + name + "]";
        else if (inside) text += line + '\n';
    }
    return text;
}

// The anchor a heading gets on the usual Markdown hosts: lower case, blanks to hyphens, punctuation
// dropped (letters beyond ASCII kept).
std::string Anchor(std::string heading) {
    heading.erase(0, heading.find_first_not_of('#'));
    heading.erase(0, heading.find_first_not_of(' '));
    std::string anchor;
    for (const char c : heading) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte) || c == '_' || c == '-') anchor += static_cast<char>(std::tolower(byte));
        else if (c == ' ') anchor += '-';
    }
    return anchor;
}

std::set<std::string> Anchors(const fs::path& page) {
    std::set<std::string> anchors;
    for (const std::string& line : ProseLines(ReadFile(page))) {
        if (line.rfind("#", 0) == 0) anchors.insert(Anchor(line));
    }
    return anchors;
}

std::vector<fs::path> DocumentationPages() {
    std::vector<fs::path> pages{kSource / "README.md", kSource / "CONTRIBUTING.md"};
    for (const auto& entry : fs::directory_iterator(kSource / "docs")) {
        if (entry.path().extension() == ".md") pages.push_back(entry.path());
    }
    return pages;
}

TEST(Documentation, SettingsReferenceNamesEveryKeyOfEverySection) {
    const std::string reference = ReadFile(kSource / "docs" / "settings.md");
    ASSERT_FALSE(reference.empty());
    for (const Section& section : kSections) {
        const std::string text = SectionText(reference, section.name);
        EXPECT_FALSE(text.empty()) << "docs/settings.md has no heading \"### [" << section.name << "]\"";
        const std::vector<std::string> keys = section.keys();
        EXPECT_FALSE(keys.empty()) << section.name;
        for (const std::string& key : keys) {
            EXPECT_NE(text.find("`" + key + "`"), std::string::npos)
                << "docs/settings.md does not describe [" << section.name << "] " << key;
        }
    }
}

TEST(Documentation, EveryRelativeLinkLeadsToAFileAndHeadingThatExist) {
    const std::regex link(R"(\]\(([^)\s]+)\))");
    for (const fs::path& page : DocumentationPages()) {
        for (const std::string& line : ProseLines(ReadFile(page))) {
            for (std::sregex_iterator match(line.begin(), line.end(), link), end; match != end; ++match) {
                const std::string target = (*match)[1];
                if (target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0) continue;
                const std::size_t hash = target.find('#');
                const std::string file = target.substr(0, hash);
                const fs::path resolved = file.empty() ? page : page.parent_path() / file;
                if (!fs::exists(resolved)) {
                    ADD_FAILURE() << page.filename() << ": " << target << " leads nowhere";
                    continue;
                }
                if (hash == std::string::npos || resolved.extension() != ".md") continue;
                EXPECT_TRUE(Anchors(resolved).count(target.substr(hash + 1)))
                    << page.filename() << ": " << target << " names no heading of " << resolved.filename();
            }
        }
    }
}

}  // namespace
