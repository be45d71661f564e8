// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// GIF data made in code for the picture tests: an LZW encoder written from the format's
// description, a packer for hand-chosen code sequences, and a builder for whole streams.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gif_test {

// Packs codes, each with its width in bits, least significant bit first.
std::string PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths);

// Cuts data into sub-blocks of at most blockSize bytes and adds the empty terminator block.
std::string SubBlocks(const std::string& data, size_t blockSize = 255);

// Greedy LZW with a clear code first and the end code last. With clearWhenFull the encoder starts
// a new table when 4096 entries are in use; without it the full table is kept and used on.
std::string LzwEncode(const std::vector<uint8_t>& indices, int minCodeSize, bool clearWhenFull = true);

// Rows of an image in the order interlaced data carries them.
std::vector<uint8_t> InterlaceRows(const std::vector<uint8_t>& pixels, int width, int height);

// Builds a GIF stream piece by piece.
class GifBuilder {
public:
    // Signature, logical screen and, when globalBits > 0, a global table whose entry i is
    // (i, 255 - i, i / 2).
    GifBuilder& Header(int width, int height, int globalBits, const std::string& signature = "GIF89a");
    // A graphic control extension; transparentIndex < 0 means none.
    GifBuilder& GraphicControl(int disposal, int delayHundredths, int transparentIndex = -1);
    GifBuilder& Netscape(int loops);
    // An image; localBits > 0 adds a local table whose entry i is (255 - i, i, 7). Pixels are given
    // row by row, top row first.
    GifBuilder& Image(int left, int top, int width, int height, const std::vector<uint8_t>& pixels, int localBits = 0,
                      bool interlaced = false, int minCodeSize = 8);
    // An image descriptor followed by the given raw image data (minimum code size and sub-blocks).
    GifBuilder& ImageWithData(int left, int top, int width, int height, const std::string& data,
                              bool interlaced = false);
    // count images of width x height whose data ends at once (minimum code size 2, no sub-block):
    // every pixel index 0. Cheap to make at any size.
    GifBuilder& BlankImages(int count, int left, int top, int width, int height);
    GifBuilder& Raw(const std::string& bytes);
    GifBuilder& Trailer();
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Palette entries the builder writes.
inline uint32_t GlobalColor(int i) {
    return 0xFF000000u | (i << 16) | ((255 - i) << 8) | (i / 2);
}
inline uint32_t LocalColor(int i) {
    return 0xFF000000u | ((255 - i) << 16) | (i << 8) | 7;
}

}  // namespace gif_test
