// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading of a whole GIF stream: signature, logical screen, global colour table, the block loop
// with its extensions, and the list of images. No Qt in here.

#include <cstdint>
#include <memory>
#include <vector>

#include "GifDecoder.h"

// GIF format versions: "GIF87a" and "GIF89a".
enum TGIFVersion { gvGIF87a = 0, gvGIF89a = 1 };

namespace gif_core {

// A picture holds at most this many images; later ones are not read.
inline constexpr int32_t kMaxFrames = 256;
// Largest logical screen, in pixels, the program composes (a 32-bit surface of 64 MiB).
inline constexpr int64_t kMaxScreenPixels = int64_t{1} << 24;

// What a stream says about the picture as a whole.
struct GifPicture {
    TGIFVersion Version = gvGIF87a;
    int32_t ScreenWidth = 0;   // grown to cover every image read
    int32_t ScreenHeight = 0;  // grown to cover every image read
    int32_t LoopCount = 1;     // from the "NETSCAPE" "2.0" extension; 0 repeats for ever
    bool AnyTransparent = false;
    int32_t ColorBits = 0;  // deepest colour table met; 0 without any
    Palette GlobalPalette{};
    int32_t FrameCount = 0;
};

// The party that receives the images and hears about progress while a stream is read.
class GifParseClient {
public:
    virtual ~GifParseClient() = default;
    // True when progress is wanted while large images are decoded.
    virtual bool WantsProgress() const = 0;
    // Reports the read position (bytes) against the size; may throw AbortError to stop.
    virtual void Progress(size_t position, size_t size) = 0;
    // Takes an image just read. May throw (a bitmap that cannot be had): the image is then dropped
    // and reading stops, as for any failure inside an image.
    virtual void AcceptFrame(std::unique_ptr<GifFrame> frame) = 0;
};

// Keeps the images in a list; for callers that need no progress (benchmarks, tools, tests).
class GifFrameList : public GifParseClient {
public:
    bool WantsProgress() const override { return false; }
    void Progress(size_t, size_t) override {}
    void AcceptFrame(std::unique_ptr<GifFrame> frame) override { frames.push_back(std::move(frame)); }

    std::vector<std::unique_ptr<GifFrame>> frames;
};

// What the block structure says about the images that will be read, found without decoding them.
struct GifLayout {
    int32_t screenWidth = 0;  // the logical screen grown to cover them
    int32_t screenHeight = 0;
    int32_t frameCount = 0;
    int64_t framePixels = 0;  // their pixels together
};

// Walks the blocks from the stream's position (just after the global colour table) the way
// ParseGifStream reads them, stopping where it would stop (256 images, the first image only, an
// image too large, a cut-off descriptor, a side of 0), but passing over each image's data instead of
// decoding it. Exact for every stream whose image data the decoder does not find damaged; damaged
// data can make the reading resume inside an image's sub-blocks, where the walk does not look.
// Takes a copy of the stream, so the caller's position stays.
GifLayout WalkGifStream(ByteStream stream, bool firstImageOnly, int32_t screenWidth, int32_t screenHeight);

// Reads the stream from its position. Gives false when it is not a GIF stream ("GIF" missing, no
// data) or an image descriptor has a side of 0. Throws ReadError for a cut-off signature, screen
// descriptor or global table, AbortError for a stop asked outside an image, LimitError for a
// logical screen above kMaxScreenPixels: before any image is decoded when the block structure
// already shows it (WalkGifStream), otherwise at the end. Failures inside an image end the reading
// and keep the images read before. picture is filled as far as reading went.
bool ParseGifStream(ByteStream& stream, bool firstImageOnly, GifPicture& picture, GifParseClient& client);

}  // namespace gif_core
