// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// How a settings file's text is stored. Without a byte-order mark the file is Windows-1252 bytes
// and is taken byte for byte. A file that starts with a mark (Windows Notepad writes one) is
// Unicode: its text is handled as UTF-8 in memory, its values reach the program as Windows-1252
// and the file is written back in the form it came in, mark included. UTF-16 written without a
// mark is told by its zero bytes (text never holds one; UTF-16 gives one for every ASCII
// character) and written back without a mark.
namespace text_encoding {

enum class Form { Plain, Utf8, Utf16LE, Utf16BE };

struct DecodedText {
    Form form = Form::Plain;
    std::string text;    // Plain: the bytes as they are; otherwise UTF-8 without the mark
    std::string tail;    // a last odd byte of a UTF-16 file, kept as it was
    bool marked = true;  // Unicode forms: the file starts with the byte-order mark
};

// Splits off the mark and, for UTF-16, converts to UTF-8. A lone surrogate is carried in the
// three-byte form UTF-8 would give it, so that every line the program does not change is written
// back unit for unit.
DecodedText Decode(std::string_view fileBytes);

// The file's bytes for text in the given form, mark first.
std::string Encode(const DecodedText& decoded);

// A value as found in the file, in the program's Windows-1252: for Unicode files a character
// Windows-1252 lacks becomes "?" (as the Windows profile routines give it) and a byte that is not
// UTF-8 is kept as it is.
std::string ToWin1252(std::string_view text, Form form);

// A Windows-1252 value or name as it goes into a file of the given form.
std::string FromWin1252(std::string_view value, Form form);

}  // namespace text_encoding
