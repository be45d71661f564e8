// SPDX-License-Identifier: GPL-3.0-or-later
#include "GifParser.h"

#include <algorithm>
#include <cstring>

namespace gif_core {

namespace {

// Passes over sub-blocks (a length byte, then that many bytes) up to and including the empty one,
// or to the end of the data.
void SkipSubBlocks(ByteStream& stream) {
    for (;;) {
        int length = stream.ReadByte();
        if (length <= 0) return;
        stream.Seek(stream.Position() + static_cast<size_t>(length));
    }
}

// Application extension; only the "NETSCAPE" "2.0" loop count is taken.
void ReadApplicationExtension(ByteStream& stream, GifPicture& picture) {
    int blockLength = stream.ReadByte();
    if (blockLength < 0) return;
    uint8_t block[255];
    size_t got = stream.ReadUpTo(block, static_cast<size_t>(blockLength));
    int subLength = stream.ReadByte();
    if (subLength <= 0) return;
    if (got >= 11 && std::memcmp(block, "NETSCAPE2.0", 11) == 0) {
        uint8_t sub[255];
        size_t subGot = stream.ReadUpTo(sub, static_cast<size_t>(subLength));
        // Byte 0 is the sub-block id; bytes 1 and 2 the repeat count, little-endian.
        if (subGot >= 3) picture.LoopCount = sub[1] | (sub[2] << 8);
    } else {
        stream.Seek(stream.Position() + static_cast<size_t>(subLength));
    }
    SkipSubBlocks(stream);
}

// What one image descriptor came to in the block loop.
enum class ImageOutcome {
    Read,     // an image was read; the stream stands after its data
    NoImage,  // a side of 0: the whole stream fails
    Dropped,  // the image failed; reading stops, the images before it stay
};

// The block loop, shared by the structure walk and the reading proper: extensions, images (handed
// to readImage at their "," with the pending graphic control block), the trailer. beforeBlock runs
// before every block. Gives false when readImage reported NoImage.
template <class BeforeBlock, class ReadImage>
bool RunBlockLoop(ByteStream& stream, bool firstImageOnly, GifPicture& picture, BeforeBlock beforeBlock,
                  ReadImage readImage) {
    GraphicControlBlock graphicControl{};
    int32_t images = 0;
    while (stream.Remaining() > 0) {
        beforeBlock();
        uint8_t head[2];
        if (stream.ReadUpTo(head, 2) < 2) break;
        if (head[0] == 0x21) {
            if (head[1] == 0xF9) {
                GraphicControlBlock block{};
                stream.ReadUpTo(block.data(), block.size());
                graphicControl = block;
            } else if (head[1] == 0xFF) {
                ReadApplicationExtension(stream, picture);
            } else {
                SkipSubBlocks(stream);
            }
        } else if (head[0] == 0x2C) {
            stream.Seek(stream.Position() - 2);
            if (images == kMaxFrames) break;
            const ImageOutcome outcome = readImage(graphicControl);
            if (outcome == ImageOutcome::NoImage) {
                stream.Seek(stream.Size());
                return false;
            }
            if (outcome == ImageOutcome::Dropped) break;
            ++images;
            if (firstImageOnly) {
                stream.Seek(stream.Size());
                break;
            }
            graphicControl.fill(0);
        } else if (head[0] == 0x3B) {
            break;
        }
    }
    return true;
}

// Walks an image as ReadFrame reads it, passing over its data sub-blocks instead of decoding them.
// Data that the decoder finds damaged makes it stop inside the sub-blocks and reading go on from
// there; the walk cannot know that and goes on after the empty sub-block, as for sound data.
ImageOutcome WalkImage(ByteStream& stream, int64_t pixelBudget, GifLayout& layout) {
    uint8_t d[10];
    if (stream.Remaining() < sizeof d) {
        stream.Seek(stream.Size());
        return ImageOutcome::Dropped;  // a cut-off descriptor
    }
    stream.ReadExact(d, sizeof d);
    const int32_t left = d[1] | (d[2] << 8);
    const int32_t top = d[3] | (d[4] << 8);
    const int32_t width = d[5] | (d[6] << 8);
    const int32_t height = d[7] | (d[8] << 8);
    if (width == 0 || height == 0) return ImageOutcome::NoImage;
    if (width > kMaxSide || height > kMaxSide) return ImageOutcome::Dropped;
    if (d[9] & 0x80) stream.Seek(stream.Position() + (size_t{3} << ((d[9] & 7) + 1)));
    const int64_t area = int64_t{width} * height;
    if (area > pixelBudget) return ImageOutcome::Dropped;
    // A minimum code size above 15 ends the image's data at once: what follows is read as blocks.
    const int minCodeSize = stream.ReadByte();
    if (minCodeSize >= 0 && minCodeSize <= 15) SkipSubBlocks(stream);
    layout.screenWidth = std::max(layout.screenWidth, left + width);
    layout.screenHeight = std::max(layout.screenHeight, top + height);
    ++layout.frameCount;
    layout.framePixels += area;
    return ImageOutcome::Read;
}

}  // namespace

GifLayout WalkGifStream(ByteStream stream, bool firstImageOnly, int32_t screenWidth, int32_t screenHeight) {
    GifLayout layout;
    layout.screenWidth = screenWidth;
    layout.screenHeight = screenHeight;
    GifPicture ignored;
    RunBlockLoop(
        stream, firstImageOnly, ignored, [] {},
        [&](const GraphicControlBlock&) { return WalkImage(stream, kMaxDecodedPixels - layout.framePixels, layout); });
    return layout;
}

bool ParseGifStream(ByteStream& stream, bool firstImageOnly, GifPicture& picture, GifParseClient& client) {
    if (stream.Remaining() == 0) return false;
    uint8_t signature[6];
    stream.ReadExact(signature, sizeof signature);
    if (std::memcmp(signature, "GIF", 3) != 0) return false;
    picture.Version = signature[4] == '9' ? gvGIF89a : gvGIF87a;

    uint8_t screen[7];
    stream.ReadExact(screen, sizeof screen);
    picture.ScreenWidth = screen[0] | (screen[1] << 8);
    picture.ScreenHeight = screen[2] | (screen[3] << 8);
    picture.GlobalPalette.fill(0);
    picture.ColorBits = 0;
    if (screen[4] & 0x80) {
        picture.ColorBits = (screen[4] & 7) + 1;
        stream.ReadExact(picture.GlobalPalette.data(), size_t{3} << picture.ColorBits);
    }

    // Everything the limits need is in the block structure: a picture whose images would not fit
    // is refused before a single one is decoded.
    const GifLayout layout = WalkGifStream(stream, firstImageOnly, picture.ScreenWidth, picture.ScreenHeight);
    if (int64_t{layout.screenWidth} * layout.screenHeight > kMaxScreenPixels)
        throw LimitError("logical screen too large");

    int64_t pixelBudget = kMaxDecodedPixels;
    const ProgressHook progress = client.WantsProgress()
                                      ? ProgressHook([&] { client.Progress(stream.Position(), stream.Size()); })
                                      : ProgressHook();
    int32_t right = picture.ScreenWidth;
    int32_t bottom = picture.ScreenHeight;

    const bool read = RunBlockLoop(
        stream, firstImageOnly, picture, [&] { client.Progress(stream.Position(), stream.Size()); },
        [&](const GraphicControlBlock& graphicControl) {
            auto frame = std::make_unique<GifFrame>();
            try {
                if (!ReadFrame(*frame, stream, picture.GlobalPalette, graphicControl, picture.ColorBits, pixelBudget,
                               progress))
                    return ImageOutcome::NoImage;
                pixelBudget -= int64_t{frame->Width} * frame->Height;
                const int32_t localBits = frame->LocalBits;
                const bool transparent = frame->Transparent;
                const int32_t frameRight = frame->Left + frame->Width;
                const int32_t frameBottom = frame->Top + frame->Height;
                client.AcceptFrame(std::move(frame));
                ++picture.FrameCount;
                picture.ColorBits = std::max(picture.ColorBits, localBits);
                picture.AnyTransparent = picture.AnyTransparent || transparent;
                right = std::max(right, frameRight);
                bottom = std::max(bottom, frameBottom);
                return ImageOutcome::Read;
            } catch (const std::exception&) {
                // The image is dropped; the images before it stay.
                return ImageOutcome::Dropped;
            }
        });
    client.Progress(stream.Position(), stream.Size());
    if (!read) return false;

    picture.ScreenWidth = right;
    picture.ScreenHeight = bottom;
    // Data the decoder found damaged can lead the reading where the walk did not go.
    if (int64_t{right} * bottom > kMaxScreenPixels) throw LimitError("logical screen too large");
    return true;
}

}  // namespace gif_core
