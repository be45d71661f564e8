// SPDX-License-Identifier: GPL-3.0-or-later
// The [Server], [Link] and [WSJT] sections: what the file gives, what an operator may enter, what is
// written, and the port a Hamlib rotator already uses (DocsTest checks the reference names every key).
#include <gtest/gtest.h>

#include <string>

#include "LinkSettings.h"
#include "TempDir.h"
#include "WsjtxSettings.h"

namespace {

using LinkSettings::Commands;

// The [Server] and [Link] sections, and the [WSJT] section read through the same key table.
TEST(LinkSettingsTest, FileValuesAndTheirDefaults) {
    const struct {
        const char* what;
        const char* file;
        LinkSettings::Settings expected;
        WsjtxSettings::Settings wsjtx;
    } cases[] = {
        {"no sections: everything off", "[Lunark]\nLocator=JO22IC\n", {}, {}},
        {"all set",
         "[Server]\nEnabled=1\nPort=4600\nAddress=0.0.0.0\nCommands=follow\n[Link]\nAzelFile=/tmp/azel.dat\n"
         "[WSJT]\nEnabled=1\nAddress=239.255.0.1\nPort=2238\n",
         {true, 4600, "0.0.0.0", Commands::kFollow, "/tmp/azel.dat"},
         {true, "239.255.0.1", 2238}},
        {"garbage takes the defaults",
         "[Server]\nEnabled=yes\nPort=70000\nAddress=a b\nCommands=obey\n[WSJT]\nEnabled=yes\nAddress=a b\nPort=0\n",
         {},
         {}},
        {"port 0 and a negative port", "[Server]\nPort=-1\n", {}, {}},
    };
    for (const auto& c : cases) {
        test_support::TempDir dir;
        test_support::WriteFileBytes(dir.File("lunark.ini"), c.file);
        EXPECT_EQ(LinkSettings::Load(dir.File("lunark.ini")), c.expected) << c.what;
        EXPECT_EQ(WsjtxSettings::Load(dir.File("lunark.ini")), c.wsjtx) << c.what;
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
    const struct {
        const char *enabled, *address, *port;
        const char* problem;  // nullptr: accepted
    } wsjtx[] = {{"1", "239.255.0.1", "2237", nullptr},
                 {"", "", "", nullptr},
                 {"2", "", "", "Enabled is 0 or 1"},
                 {"1", "a b", "", "The address is an IP address"},
                 {"1", "", "65536", "The port is a whole number"}};
    for (const auto& c : wsjtx) {
        std::string problem;
        const auto settings =
            WsjtxSettings::FromTexts({{"Enabled", c.enabled}, {"Address", c.address}, {"Port", c.port}}, problem);
        EXPECT_EQ(settings.has_value(), c.problem == nullptr) << c.enabled << c.address << c.port;
        EXPECT_TRUE(problem.starts_with(c.problem ? c.problem : "")) << problem;
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
    const WsjtxSettings::Settings listening{true, "239.255.0.1", 2237};
    WsjtxSettings::Save(file, listening);
    EXPECT_EQ(test_support::ReadFileBytes(file),
              "[Lunark]\nLocator=JO22IC\n[Server]\nEnabled=1\n[Link]\nAzelFile=/var/tmp/azel.dat\n"
              "[WSJT]\nEnabled=1\nAddress=239.255.0.1\n");
    EXPECT_EQ(LinkSettings::Load(file), on);
    EXPECT_EQ(WsjtxSettings::Load(file), listening);
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

}  // namespace
