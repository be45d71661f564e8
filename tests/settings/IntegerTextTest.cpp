// SPDX-License-Identifier: GPL-3.0-or-later
#include "IntegerText.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct IntegerCase {
    const char* text;
    std::optional<int32_t> strict;    // the setup window's reading
    std::optional<int32_t> settings;  // the settings file's reading
};

TEST(IntegerText, AcceptsDecimalAndDollarHexOnlyWithinThirtyTwoBits) {
    const IntegerCase cases[] = {
        {"10", 10, 10},
        {"-5", -5, -5},
        {"+12", 12, 12},
        {" 7", 7, 7},
        {"\t7", 7, 7},
        {"$0A", 10, 10},
        {"$ff", 255, 255},
        {"0x0A", std::nullopt, 10},
        {"0X1f", std::nullopt, 31},
        {"0x", std::nullopt, std::nullopt},
        {"0", 0, 0},
        {"", std::nullopt, std::nullopt},
        {"abc", std::nullopt, std::nullopt},
        {"7 ", std::nullopt, std::nullopt},
        {"1e3", std::nullopt, std::nullopt},
        {"+", std::nullopt, std::nullopt},
        {"-", std::nullopt, std::nullopt},
        {"$", std::nullopt, std::nullopt},
        {"-$10", std::nullopt, std::nullopt},
        {"$-10", std::nullopt, std::nullopt},
        {"2147483647", 2147483647, 2147483647},
        {"2147483648", std::nullopt, std::nullopt},
        {"-2147483648", INT32_MIN, INT32_MIN},
        {"-2147483649", std::nullopt, std::nullopt},
        {"$7FFFFFFF", INT32_MAX, INT32_MAX},
        {"$80000000", std::nullopt, std::nullopt},
        {"0x7fffffff", std::nullopt, INT32_MAX},
        {"99999999999999999999999999", std::nullopt, std::nullopt},
        {"000000000000000000000000012", 12, 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(integer_text::TryStrToInt(c.text), c.strict) << '"' << c.text << '"';
        EXPECT_EQ(integer_text::TryReadSettingsInteger(c.text), c.settings) << '"' << c.text << '"';
    }
}

TEST(IntegerText, StrictConversionNamesTheText) {
    EXPECT_EQ(integer_text::StrToInt("-17"), -17);
    const auto messageFor = [](const char* text) {
        try {
            integer_text::StrToInt(text);
        } catch (const integer_text::EConvertError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageFor("abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(messageFor(""), "'' is not a valid integer value");
    EXPECT_EQ(messageFor("0x0A"), "'0x0A' is not a valid integer value");
}

}  // namespace
