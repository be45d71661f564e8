// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// UTF-8 one code point at a time, for the places where text crosses between encodings.
namespace utf8 {

// Appends the UTF-8 form of cp (up to U+10FFFF). A surrogate code point gets the three-byte form
// such a value would have, which is how a lone UTF-16 surrogate is carried through UTF-8 text.
void Append(std::string& out, char32_t cp);

// Decodes the sequence at text[pos] and advances pos past it; nullopt (pos unchanged) for a byte
// that does not start a valid sequence, an overlong form, a value above U+10FFFF, or a surrogate
// unless allowSurrogates.
std::optional<char32_t> Decode(std::string_view text, std::size_t& pos, bool allowSurrogates = false);

}  // namespace utf8
