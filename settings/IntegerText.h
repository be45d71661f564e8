// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The integer forms the settings file and the setup window accept: optional leading blanks, then
// either an optional sign and decimal digits or "$" and hexadecimal digits (either case). The whole
// text must be used and the value must fit a 32-bit signed integer.
namespace integer_text {

// Raised by StrToInt: "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value of the text, or nullopt when it is not a valid integer in the form above.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt, but a text that is not a valid integer raises EConvertError.
int32_t StrToInt(std::string_view text);

// The settings file's reading: a text of more than two characters that begins with "0x" or "0X"
// is read as "$" and the rest, so 0x1F is hexadecimal too.
std::optional<int32_t> TryReadSettingsInteger(std::string_view text);

}  // namespace integer_text
