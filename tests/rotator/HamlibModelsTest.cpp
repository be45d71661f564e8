// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "HamlibModels.h"

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The model table Hamlib's own rotctl prints, read by the columns of its heading.
std::vector<HamlibModels::Model> ModelsListedByRotctl() {
    std::vector<HamlibModels::Model> models;
    FILE* pipe = ::popen("rotctl -l", "r");
    if (pipe == nullptr) return models;
    char buffer[512];
    std::size_t manufacturerAt = 0, nameAt = 0, versionAt = 0;
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::string line = buffer;
        if (line.find("Mfg") != std::string::npos) {
            manufacturerAt = line.find("Mfg");
            nameAt = line.find("Model");
            versionAt = line.find("Version");
            continue;
        }
        if (versionAt == 0 || line.size() <= versionAt) continue;
        models.push_back({std::stoi(line.substr(0, manufacturerAt)),
                          Trimmed(line.substr(manufacturerAt, nameAt - manufacturerAt)),
                          Trimmed(line.substr(nameAt, versionAt - nameAt)), false, false});
    }
    ::pclose(pipe);
    return models;
}

TEST(HamlibModels, AreTheModelsRotctlLists) {
    const std::vector<HamlibModels::Model> expected = ModelsListedByRotctl();
    ASSERT_GT(expected.size(), 40u);
    const std::vector<HamlibModels::Model>& models = HamlibModels::Models();
    ASSERT_EQ(models.size(), expected.size());
    for (const HamlibModels::Model& model : expected) {
        SCOPED_TRACE(model.number);
        const HamlibModels::Model* found = HamlibModels::FindModel(model.number);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->manufacturer, model.manufacturer);
        EXPECT_EQ(found->name, model.name);
    }
}

TEST(HamlibModels, KnowWhichModelsHangOnASerialLineAndWhichNeedADevice) {
    struct Case {
        int number;
        const char *manufacturer, *name;
        bool serial, needsDevice;
    };
    const Case cases[] = {
        {1, "Hamlib", "Dummy", false, false},  // simulated: reached over nothing
        {2, "Hamlib", "NET rotctl", false, true}, {202, "Hamlib", "EasycommII", true, true},
        {601, "Yaesu", "GS-232A", true, true},    {603, "Yaesu", "GS-232B", true, true},
        {901, "SPID", "Rot2Prog", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const HamlibModels::Model* model = HamlibModels::FindModel(c.number);
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->manufacturer, c.manufacturer);
        EXPECT_EQ(model->name, c.name);
        EXPECT_EQ(model->serial, c.serial);
        EXPECT_EQ(model->needsDevice, c.needsDevice);
    }
    EXPECT_EQ(HamlibModels::FindModel(0), nullptr);
    EXPECT_EQ(HamlibModels::FindModel(600), nullptr);
    EXPECT_EQ(HamlibModels::FindModel(-1), nullptr);
}

}  // namespace
