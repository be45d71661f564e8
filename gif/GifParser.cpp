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

}  // namespace

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

    GraphicControlBlock graphicControl{};
    int64_t pixelBudget = kMaxDecodedPixels;
    const ProgressHook progress =
        client.WantsProgress() ? ProgressHook([&] { client.Progress(stream.Position(), stream.Size()); })
                               : ProgressHook();
    int32_t right = picture.ScreenWidth;
    int32_t bottom = picture.ScreenHeight;

    while (stream.Remaining() > 0) {
        client.Progress(stream.Position(), stream.Size());
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
            if (picture.FrameCount == kMaxFrames) break;
            auto frame = std::make_unique<GifFrame>();
            bool read;
            try {
                read = ReadFrame(*frame, stream, picture.GlobalPalette, graphicControl, picture.ColorBits,
                                 pixelBudget, progress);
                if (read) {
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
                }
            } catch (const std::exception&) {
                // The image is dropped; the images before it stay.
                break;
            }
            if (!read) {
                stream.Seek(stream.Size());
                client.Progress(stream.Position(), stream.Size());
                return false;
            }
            if (firstImageOnly) {
                stream.Seek(stream.Size());
                break;
            }
            graphicControl.fill(0);
        } else if (head[0] == 0x3B) {
            break;
        }
    }
    client.Progress(stream.Position(), stream.Size());

    picture.ScreenWidth = right;
    picture.ScreenHeight = bottom;
    if (int64_t{right} * bottom > kMaxScreenPixels) throw LimitError("logical screen too large");
    return true;
}

}  // namespace gif_core
