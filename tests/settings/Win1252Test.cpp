// SPDX-License-Identifier: GPL-3.0-or-later
#include "Win1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Win1252, ConvertsTheBytesThatDifferFromLatin1) {
    const struct {
        std::string win1252;
        std::string utf8;
    } cases[] = {
        {"M\xB2 RC2800", "M\xC2\xB2 RC2800"},  // M² RC2800
        {"\x80", "\xE2\x82\xAC"},              // €
        {"\x9F", "\xC5\xB8"},                  // Ÿ
        {"\x81", "\xC2\x81"},                  // undefined: the C1 control of the same value
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},    // été
        {"JO22IC", "JO22IC"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win1252::ToUtf8(c.win1252), c.utf8);
        EXPECT_EQ(win1252::FromUtf8(c.utf8), c.win1252);
    }
}

TEST(Win1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(win1252::FromUtf8(win1252::ToUtf8(all)), all);
}

TEST(Win1252, RejectsTextItCannotRepresent) {
    EXPECT_FALSE(win1252::FromUtf8("\xE6\x97\xA5"));  // a CJK character
    EXPECT_FALSE(win1252::FromUtf8("\xC3"));          // cut sequence
    EXPECT_FALSE(win1252::FromUtf8("\xC0\xB2"));      // overlong form
    EXPECT_FALSE(win1252::FromUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(win1252::FromUtf8("\xFF"));
}

}  // namespace
