// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandText.h"

#include <iterator>

namespace CommandText {

namespace {

// ASCII names of the control bytes 0x00 to 0x1F.
constexpr const char* kControlNames[] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT", "LF",  "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US",
};
static_assert(std::size(kControlNames) == 32);

}  // namespace

std::string HexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (!text.empty()) text += ' ';
        text += kDigits[code >> 4];
        text += kDigits[code & 0x0F];
    }
    return text;
}

std::string ReadableBytes(std::string_view bytes) {
    std::string text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < std::size(kControlNames)) {
            text += '<' + std::string(kControlNames[code]) + '>';
        } else if (code == 0x7F) {
            text += "<DEL>";
        } else if (code > 0x7F) {
            text += '<' + HexBytes(std::string_view(&byte, 1)) + '>';
        } else {
            text += byte;
        }
    }
    return text;
}

}  // namespace CommandText
