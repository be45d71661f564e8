// SPDX-License-Identifier: GPL-3.0-or-later
// The man page of lunark-position names exactly the options its --help names, each with a value
// where its option table takes one, so the three never drift apart; and the version is the same
// wherever a user or a software centre reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "BuildPaths.h"
#include "PositionTool.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string RunTool(const std::string& arguments) {
    const std::string command = std::string(LUNARK_POSITION_PATH) + ' ' + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr) << command;
    if (!pipe) return {};
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
        found.insert((*it)[1].str());
    }
    return found;
}

TEST(Packaging, ManPageNamesTheOptionsHelpNames) {
    // --help starts each option's line with two blanks; continuation lines are indented further.
    const std::set<std::string> helpOptions = Matches(RunTool("--help"), std::regex(R"(\n  (--[a-z][a-z-]*))"));
    const std::string page = ReadFile(std::string(LUNARK_SOURCE_DIR) + "/packaging/man/lunark-position.1.scd");
    const std::size_t start = page.find("\n# OPTIONS");
    ASSERT_NE(start, std::string::npos);
    const std::string options = page.substr(start, page.find("\n# ", start + 1) - start);
    // The page sets each option in bold: *--name*.
    const std::set<std::string> pageOptions = Matches(options, std::regex(R"(\*(--[a-z][a-z-]*)\*)"));
    EXPECT_GE(helpOptions.size(), 10u);
    EXPECT_EQ(pageOptions, helpOptions);
}

// The man page's entry of each option the table lists: its first line sets the names in bold, each
// with its value in italics when it takes one ("*--az-offset* _N_, *--el-offset* _N_").
TEST(Packaging, ManPageGivesAValueToTheOptionsTheTableGivesOne) {
    const std::string page = ReadFile(std::string(LUNARK_SOURCE_DIR) + "/packaging/man/lunark-position.1.scd");
    const std::size_t start = page.find("\n# OPTIONS");
    ASSERT_NE(start, std::string::npos);
    std::istringstream options(page.substr(start, page.find("\n# ", start + 1) - start));
    const std::regex name(R"(\*(--[a-z][a-z-]*)\*( _)?)");
    std::set<std::string> withValue, without;
    for (std::string line; std::getline(options, line);) {
        if (line.empty() || line.front() == '\t') continue;  // descriptions are indented
        for (auto it = std::sregex_iterator(line.begin(), line.end(), name); it != std::sregex_iterator(); ++it) {
            ((*it)[2].matched ? withValue : without).insert((*it)[1].str());
        }
    }
    std::size_t listed = 0;
    for (const PositionTool::Option& option : PositionTool::OptionTable()) {
        if (option.help.empty()) continue;
        ++listed;
        const std::string name(option.name);
        SCOPED_TRACE(name);
        EXPECT_EQ(withValue.contains(name), !option.argument.empty());
        EXPECT_EQ(without.contains(name), option.argument.empty());
    }
    EXPECT_EQ(withValue.size() + without.size(), listed);
}

TEST(Packaging, OneVersionEverywhere) {
    const std::string version = LUNARK_VERSION;
    EXPECT_EQ(RunTool("--version"), "lunark-position " + version + "\n");
    std::smatch match;
    const std::string changelog = ReadFile(std::string(LUNARK_SOURCE_DIR) + "/CHANGELOG.md");
    ASSERT_TRUE(std::regex_search(changelog, match, std::regex(R"(\n## ([0-9][^ ]*) - \d{4}-\d{2}-\d{2}\n)")));
    EXPECT_EQ(match[1].str(), version) << "the newest entry of CHANGELOG.md";
    const std::string metainfo = ReadFile(std::string(LUNARK_SOURCE_DIR) + "/packaging/org.lunark.Lunark.metainfo.xml");
    ASSERT_TRUE(std::regex_search(metainfo, match, std::regex(R"re(<release version="([^"]+)")re")));
    EXPECT_EQ(match[1].str(), version) << "the newest release of the AppStream data";
}

}  // namespace
