// SPDX-License-Identifier: GPL-3.0-or-later
// The [Server] and [Link] sections: what the file gives, what an operator may enter, what is
// written, the port a Hamlib rotator already uses, and the reference naming every key.
#include <gtest/gtest.h>

#include <string>

#include "LinkSettings.h"
#include "TempDir.h"

namespace {

using LinkSettings::Commands;

TEST(LinkSettingsTest, FileValuesAndTheirDefaults) {
    const struct {
        const char* what;
        const char* file;
        LinkSettings::Settings expected;
    } cases[] = {
        {"no sections: everything off", "[Lunark]\nLocator=JO22IC\n", {}},
        {"all set",
         "[Server]\nEnabled=1\nPort=4600\nAddress=0.0.0.0\nCommands=follow\n[Link]\nAzelFile=/tmp/azel.dat\n",
         {true, 4600, "0.0.0.0", Commands::kFollow, "/tmp/azel.dat"}},
        {"garbage takes the defaults", "[Server]\nEnabled=yes\nPort=70000\nAddress=a b\nCommands=obey\n", {}},
        {"port 0 and a negative port", "[Server]\nPort=-1\n", {}},
    };
    for (const auto& c : cases) {
        test_support::TempDir dir;
        test_support::WriteFileBytes(dir.File("lunark.ini"), c.file);
        EXPECT_EQ(LinkSettings::Load(dir.File("lunark.ini")), c.expected) << c.what;
    }
}

TEST(LinkSettingsTest, EntriesCheckedBeforeAnythingIsWritten) {
    const std::string longPath(1100, 'x');
    const struct {
        const char *enabled, *port, *address, *commands, *azel;
        const char* problem;  // the start of the message; nullptr: accepted
    } cases[] = {
        {"1", "4535", "127.0.0.1", "refuse", "", nullptr},
        {"", "", "", "", "", nullptr},  // every default
        {"1", "0", "", "", "", "The port is a whole number"},
        {"1", "45 35", "", "", "", "The port is a whole number"},
        {"1", "", "my host", "", "", "The address is a host name"},
        {"1", "", "", "always", "", "Commands are"},
        {"2", "", "", "", "", "Enabled is 0 or 1"},
        {"0", "", "", "", longPath.c_str(), "The azel.dat path is longer"},
    };
    for (const auto& c : cases) {
        std::string problem;
        const auto settings = LinkSettings::FromTexts({{"Enabled", c.enabled},
                                                       {"Port", c.port},
                                                       {"Address", c.address},
                                                       {"Commands", c.commands},
                                                       {"AzelFile", c.azel}},
                                                      problem);
        EXPECT_EQ(settings.has_value(), c.problem == nullptr) << c.port << c.address << problem;
        if (c.problem != nullptr) {
            EXPECT_TRUE(problem.starts_with(c.problem)) << problem;
        }
    }
}

// Only what differs from the file is written; the defaults never add a section.
TEST(LinkSettingsTest, SaveWritesWhatDiffers) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    test_support::WriteFileBytes(file, "[Lunark]\nLocator=JO22IC\n");
    LinkSettings::Save(file, {});
    EXPECT_EQ(test_support::ReadFileBytes(file), "[Lunark]\nLocator=JO22IC\n");
    LinkSettings::Settings on;
    on.serverEnabled = true;
    on.azelFile = "/var/tmp/azel.dat";
    LinkSettings::Save(file, on);
    EXPECT_EQ(test_support::ReadFileBytes(file),
              "[Lunark]\nLocator=JO22IC\n[Server]\nEnabled=1\n[Link]\nAzelFile=/var/tmp/azel.dat\n");
    EXPECT_EQ(LinkSettings::Load(file), on);
}

TEST(LinkSettingsTest, APortAHamlibRotatorUsesIsRefused) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    test_support::WriteFileBytes(
        file, "[Hamlib]\nAzModel=2\nAzDevice=localhost:4533\nElModel=2\nElDevice=192.168.1.9:4600\n");
    EXPECT_EQ(LinkSettings::PortProblem(file, 4535), "");
    EXPECT_TRUE(
        LinkSettings::PortProblem(file, 4533).starts_with("Port 4533 is the port of the azimuth Hamlib rotator"));
    EXPECT_TRUE(
        LinkSettings::PortProblem(file, 4600).starts_with("Port 4600 is the port of the elevation Hamlib rotator"));
}

// The operator's reference names every key of both sections.
TEST(LinkSettingsTest, TheReferenceNamesEveryKey) {
    const std::string reference = test_support::ReadFileBytes(LUNARK_SOURCE_DIR "/docs/settings.md");
    for (const LinkSettings::Key& key : LinkSettings::kKeys) {
        std::string heading = "\n### [";
        heading.append(key.section).append("]\n");
        std::string name = "`";
        name.append(key.key).append("`");
        const std::size_t start = reference.find(heading);
        ASSERT_NE(start, std::string::npos) << key.section;
        const std::string section = reference.substr(start, reference.find("\n### ", start + 1) - start);
        EXPECT_NE(section.find(name), std::string::npos) << key.section << ' ' << key.key;
    }
}

}  // namespace
