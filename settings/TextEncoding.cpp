// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextEncoding.h"

#include <cstdint>
#include <optional>

#include "Utf8.h"
#include "Win1252.h"

namespace text_encoding {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool BigEndian(Form form) {
    return form == Form::Utf16BE;
}

char16_t UnitAt(std::string_view bytes, std::size_t at, bool bigEndian) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
}

void AppendUnit(std::string& out, char16_t unit, bool bigEndian) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = UnitAt(bytes, 2 * i, bigEndian);
        if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(UnitAt(bytes, 2 * i + 2, bigEndian))) {
            const char16_t low = UnitAt(bytes, 2 * ++i, bigEndian);
            utf8::Append(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
        } else {
            utf8::Append(out, unit);
        }
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(2 * text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        // The text came from a UTF-16 file or from Windows-1252 values, so it always decodes; a
        // stray byte would be written as the replacement character rather than dropped.
        const std::optional<char32_t> decoded = utf8::Decode(text, pos, true);
        if (!decoded) ++pos;
        const char32_t cp = decoded.value_or(0xFFFD);
        if (cp >= 0x10000) {
            AppendUnit(out, static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)), bigEndian);
            AppendUnit(out, static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)), bigEndian);
        } else {
            AppendUnit(out, static_cast<char16_t>(cp), bigEndian);
        }
    }
    return out;
}

// UTF-16 without a mark: the file holds zero bytes, the high halves of its ASCII characters,
// mostly at odd offsets (little-endian) or at even ones (big-endian).
std::optional<Form> UnmarkedUtf16(std::string_view bytes) {
    std::size_t zerosAtEven = 0, zerosAtOdd = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') ++(i % 2 == 0 ? zerosAtEven : zerosAtOdd);
    }
    if (zerosAtEven == zerosAtOdd) return std::nullopt;  // none at all, or no telling
    return zerosAtOdd > zerosAtEven ? Form::Utf16LE : Form::Utf16BE;
}

}  // namespace

DecodedText Decode(std::string_view fileBytes) {
    DecodedText decoded;
    if (fileBytes.starts_with(kUtf8Mark)) {
        decoded.form = Form::Utf8;
        decoded.text = fileBytes.substr(kUtf8Mark.size());
    } else if (fileBytes.starts_with(kUtf16LEMark) || fileBytes.starts_with(kUtf16BEMark)) {
        decoded.form = fileBytes.starts_with(kUtf16LEMark) ? Form::Utf16LE : Form::Utf16BE;
        const std::string_view units = fileBytes.substr(2);
        decoded.text = Utf16ToUtf8(units, BigEndian(decoded.form));
        if (units.size() % 2 != 0) decoded.tail.assign(1, units.back());
    } else if (const std::optional<Form> unmarked = UnmarkedUtf16(fileBytes)) {
        decoded.form = *unmarked;
        decoded.marked = false;
        decoded.text = Utf16ToUtf8(fileBytes, BigEndian(decoded.form));
        if (fileBytes.size() % 2 != 0) decoded.tail.assign(1, fileBytes.back());
    } else {
        decoded.text = fileBytes;
    }
    return decoded;
}

std::string Encode(const DecodedText& decoded) {
    switch (decoded.form) {
        case Form::Plain:
            return decoded.text;
        case Form::Utf8: {
            std::string bytes(kUtf8Mark);
            bytes.append(decoded.text);
            return bytes;
        }
        case Form::Utf16LE:
        case Form::Utf16BE: {
            const bool bigEndian = BigEndian(decoded.form);
            std::string bytes(decoded.marked ? (bigEndian ? kUtf16BEMark : kUtf16LEMark) : "");
            bytes.append(Utf8ToUtf16(decoded.text, bigEndian));
            bytes.append(decoded.tail);
            return bytes;
        }
    }
    return decoded.text;
}

std::string ToWin1252(std::string_view text, Form form) {
    if (form == Form::Plain) return std::string(text);
    return win1252::FromUtf8Replacing(text);
}

std::string FromWin1252(std::string_view value, Form form) {
    if (form == Form::Plain) return std::string(value);
    return win1252::ToUtf8(value);
}

}  // namespace text_encoding
