// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding of one GIF image (image descriptor, local colour table, LZW data in sub-blocks,
// four-pass interlacing) into an 8-bit index plane and a 1-bit transparency plane.
// No Qt in here: the picture control turns the planes into bitmaps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

#include "ReadError.h"

namespace gif_core {

// A load stopped on purpose: the progress handler asked to stop, or an image side is too large.
// The picture control reports nothing for it.
class AbortError : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// A picture that needs more memory than the program allows itself for one picture.
class LimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Largest image side accepted, in pixels.
inline constexpr int32_t kMaxSide = 16384;
// Decoded pixels allowed for all frames of one picture together (one byte each, plus a mask bit).
inline constexpr int64_t kMaxDecodedPixels = int64_t{1} << 26;

// Read-only view of bytes held in memory, with a position.
class ByteStream {
public:
    ByteStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Position() const { return pos_; }
    size_t Size() const { return size_; }
    size_t Remaining() const { return size_ - pos_; }
    // Moves to pos, or to the end when pos lies beyond it.
    void Seek(size_t pos) { pos_ = pos < size_ ? pos : size_; }
    // Reads exactly n bytes or throws ReadError (the position then stands at the end).
    void ReadExact(void* out, size_t n);
    // Reads up to n bytes; gives the number read.
    size_t ReadUpTo(void* out, size_t n);
    // The next byte, or -1 at the end.
    int ReadByte() { return pos_ < size_ ? data_[pos_++] : -1; }
    // Pointer to the next unread byte.
    const uint8_t* Current() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// 256 colours, each red, green, blue.
using Palette = std::array<uint8_t, 768>;

// The last graphic control extension, as stored: block size, packed flags, delay in hundredths of
// a second (16-bit little-endian), transparent index, terminator. All zero when there is none.
using GraphicControlBlock = std::array<uint8_t, 6>;

// Bytes per row of an 8-bit plane: the width rounded up to a multiple of 4.
inline size_t RoundUp4(size_t n) {
    return (n + 3) & ~size_t{3};
}
// Bytes per row of a 1-bit plane: whole 32-bit words.
inline size_t MaskRowBytes(size_t width) {
    return (width + 31) / 32 * 4;
}

// One decoded image. Rows of both planes are stored top row first.
struct GifFrame {
    int32_t Left = 0;       // pixels from the left edge of the logical screen
    int32_t Top = 0;        // pixels from the top edge of the logical screen
    int32_t Width = 0;      // 1 to kMaxSide
    int32_t Height = 0;     // 1 to kMaxSide
    int32_t LocalBits = 0;  // depth of the local colour table, 1 to 8; 0 without one
    int32_t Delay = 0;      // display time in milliseconds
    uint8_t Disposal = 0;   // 0 to 3
    bool HasLocalPalette = false;
    bool Interlaced = false;
    bool Transparent = false;
    uint8_t TransparentIndex = 0;
    Palette Colors{};        // the colour table the image uses (its own or the global one)
    int32_t ColorCount = 0;  // colours the bitmap carries: 2^LocalBits, or 2^ColorBits of the owner
    // Height rows of RoundUp4(Width) colour indices.
    std::unique_ptr<uint8_t[]> Pixels;
    // When Transparent: Height rows of MaskRowBytes(Width); pixel x is bit 7 - x % 8 of byte x / 8,
    // a set bit marks a see-through pixel.
    std::unique_ptr<uint8_t[]> MaskBits;

    size_t PixelStride() const { return RoundUp4(static_cast<size_t>(Width)); }
    size_t MaskStride() const { return MaskRowBytes(static_cast<size_t>(Width)); }
    uint8_t PixelAt(int x, int y) const { return Pixels[static_cast<size_t>(y) * PixelStride() + x]; }
    bool SeeThroughAt(int x, int y) const {
        return MaskBits && (MaskBits[static_cast<size_t>(y) * MaskStride() + x / 8] >> (7 - x % 8)) & 1;
    }
};

// Called between rows of large images; may throw AbortError to stop the load.
using ProgressHook = std::function<void()>;

// Reads one image starting at its "," separator. ownerColorBits is the deepest colour table met so
// far (it sets the colour count of an image without a table of its own); pixelBudget is how many
// more decoded pixels the picture may hold. Gives false, having read only the 10 descriptor bytes,
// when the separator is not "," or a side is 0. Throws ReadError for a cut-off descriptor,
// AbortError for a side above kMaxSide or a stop asked by progress, LimitError over the budget.
bool ReadFrame(GifFrame& frame, ByteStream& stream, const Palette& globalPalette,
               const GraphicControlBlock& graphicControl, int32_t ownerColorBits, int64_t pixelBudget,
               const ProgressHook& progress);

// Decodes the image data (minimum code size and sub-blocks) at the stream's position into the
// frame's planes, which must be allocated (the pixel plane with 16 bytes to spare after its last
// row); every byte of both is written. Pixels the data does not reach get index 0 and, for a
// transparent frame, are marked see-through.
void DecodeImage(GifFrame& frame, ByteStream& stream, const ProgressHook& progress);

}  // namespace gif_core
