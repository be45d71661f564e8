#include "CoreText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Code points from the Windows-1252 chart: 0x80-0x9F are not Latin-1's control characters.
TEST(CoreText, ReadsUtf8WhenValidAndWindows1252Otherwise) {
    struct Case {
        std::string bytes;
        QString text;
    };
    const Case cases[] = {
        {"JO22IC", QStringLiteral("JO22IC")},
        {"M\xB2 RC2800", QString::fromUtf16(u"M\u00B2 RC2800")},           // Windows-1252
        {"M\xC2\xB2 RC2800", QString::fromUtf16(u"M\u00B2 RC2800")},       // UTF-8 (a file path)
        {"\x80\x8A\x9F", QString::fromUtf16(u"\u20AC\u0160\u0178")},      // euro, S caron, Y diaeresis
        {"/home/j\xC3\xB6rg/lunark", QString::fromUtf16(u"/home/j\u00F6rg/lunark")},
        {"j\xF6rg", QString::fromUtf16(u"j\u00F6rg")},
        {"", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(core_text::ToQt(c.bytes), c.text);
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
