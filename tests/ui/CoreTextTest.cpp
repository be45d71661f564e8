// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Code points from the Windows-1252 chart: 0x80-0x9F are not Latin-1's control characters. Text
// is Windows-1252 even when its bytes happen to be valid UTF-8; paths are UTF-8 always.
TEST(CoreText, ReadsTextAsWindows1252AndPathsAsUtf8) {
    struct Case {
        std::string bytes;
        QString text, path;
    };
    const Case cases[] = {
        {"JO22IC", QStringLiteral("JO22IC"), QStringLiteral("JO22IC")},
        {"M\xB2 RC2800", QString::fromUtf16(u"M\u00B2 RC2800"), QString::fromUtf16(u"M\uFFFD RC2800")},
        {"M\xC2\xB2 RC2800", QString::fromUtf16(u"M\u00C2\u00B2 RC2800"), QString::fromUtf16(u"M\u00B2 RC2800")},
        {"\x80\x8A\x9F", QString::fromUtf16(u"\u20AC\u0160\u0178"), QString::fromUtf16(u"\uFFFD\uFFFD\uFFFD")},
        {"/home/j\xC3\xB6rg/lunark", QString::fromUtf16(u"/home/j\u00C3\u00B6rg/lunark"),
         QString::fromUtf16(u"/home/j\u00F6rg/lunark")},
        {"j\xF6rg", QString::fromUtf16(u"j\u00F6rg"), QString::fromUtf16(u"j\uFFFDrg")},
        {"", QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(core_text::ToQt(c.bytes), c.text);
        EXPECT_EQ(core_text::PathToQt(c.bytes), c.path);
    }
}

TEST(CoreText, WritesWindows1252AndMarksWhatItCannotHold) {
    struct Case {
        QString text;
        std::string bytes;
    };
    const Case cases[] = {
        {QString::fromUtf16(u"M\u00B2 RC2800"), "M\xB2 RC2800"},
        {QString::fromUtf16(u"\u20AC\u0160\u0178"), "\x80\x8A\x9F"},
        {QString::fromUtf16(u"\u03A9 \u263E"), "? ?"},  // Greek omega, last quarter moon
        {QString(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(core_text::ToCore(c.text), c.bytes);
    }
}

}  // namespace
