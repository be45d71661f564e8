// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Rotator commands as an operator reads them: the bytes in hexadecimal, and as text with the
// control bytes named, as lunark-position prints them and the station window shows them.
namespace CommandText {

// Two hexadecimal digits a byte, separated by blanks ("4D 31 0D").
std::string HexBytes(std::string_view bytes);

// Printable ASCII as it is, control bytes named in angle brackets ("M1<CR>", "<STX>AG"), bytes
// above 0x7E as their hexadecimal code ("<DEL>", "<B2>").
std::string ReadableBytes(std::string_view bytes);

}  // namespace CommandText
