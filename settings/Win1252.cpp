// SPDX-License-Identifier: GPL-3.0-or-later
#include "Win1252.h"

#include <array>
#include <cstdint>

#include "Utf8.h"

namespace win1252 {
namespace {

// Unicode code points of the bytes 0x80 to 0x9F; where Windows-1252 defines no character the
// byte maps to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};
static_assert(kHighControls.size() == 0xA0 - 0x80);

char32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
    return byte;
}

std::optional<unsigned char> ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

}  // namespace

std::string ToUtf8(std::string_view win1252Bytes) {
    std::string out;
    out.reserve(win1252Bytes.size() + 8);
    for (char c : win1252Bytes) utf8::Append(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::optional<std::string> FromUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const auto cp = utf8::Decode(text, pos);
        if (!cp) return std::nullopt;
        const auto byte = ByteOf(*cp);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

std::string FromUtf8Replacing(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const auto cp = utf8::Decode(text, pos);
        if (!cp) {
            out += text[pos++];
            continue;
        }
        out += static_cast<char>(ByteOf(*cp).value_or('?'));
    }
    return out;
}

}  // namespace win1252
