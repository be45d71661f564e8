// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The program keeps every text (settings, protocol names, messages) as Windows-1252 bytes, as the
// settings files and the rotator protocols have it ("M² RC2800" is "M\xB2 RC2800"). These two
// routines convert at the places where text meets Unicode: the window toolkit and the terminal.
namespace win1252 {

// Windows-1252 bytes to UTF-8. The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the C1 control characters of the same value, as Windows itself maps them.
std::string ToUtf8(std::string_view win1252Bytes);

// UTF-8 to Windows-1252 bytes; nullopt when the text is not valid UTF-8 or holds a character
// that Windows-1252 cannot represent.
std::optional<std::string> FromUtf8(std::string_view text);

// UTF-8 to Windows-1252 bytes for text that must be taken whatever it holds: a character
// Windows-1252 cannot represent becomes "?", a byte that does not start valid UTF-8 is kept.
std::string FromUtf8Replacing(std::string_view text);

}  // namespace win1252
