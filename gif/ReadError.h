// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one read error of the picture code: a stream, the decoder's byte view or a stored block
// that ends before the bytes a field needs. No Qt in here.

#include <stdexcept>

namespace gif_core {

class ReadError : public std::runtime_error {
public:
    ReadError() : std::runtime_error("Stream read error") {}
};

}  // namespace gif_core
