#include "GifDecoder.h"

#include <algorithm>
#include <cstring>

namespace gif_core {

void ByteStream::ReadExact(void* out, size_t n) {
    if (n > Remaining()) {
        pos_ = size_;
        throw ReadError();
    }
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
}

size_t ByteStream::ReadUpTo(void* out, size_t n) {
    n = std::min(n, Remaining());
    if (n > 0) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return n;
}

namespace {

constexpr int kTableSize = 4096;
// A string may hold one entry more than the in-walk limit: its first index is pushed unchecked.
constexpr int kStringCapacity = kTableSize + 1;
constexpr int kDataEnded = -1;
constexpr int kEndOrDamaged = -2;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The image's rows in the order the data delivers them, with the column inside the current row.
class RowWalk {
public:
    RowWalk(int32_t height, bool interlaced) : height_(height), interlaced_(interlaced) {}

    int32_t Row() const { return row_; }
    bool Done() const { return done_; }

    // Moves to the next row; false (and Done) when the walk has no further row.
    bool Advance() {
        if (!interlaced_) {
            if (++row_ >= height_) done_ = true;
            return !done_;
        }
        static constexpr int32_t kStart[4] = {0, 4, 2, 1};
        static constexpr int32_t kStep[4] = {8, 8, 4, 2};
        row_ += kStep[pass_];
        while (row_ >= height_) {
            if (++pass_ == 4) {
                done_ = true;
                return false;
            }
            row_ = kStart[pass_];
        }
        return true;
    }

private:
    int32_t height_;
    bool interlaced_;
    int32_t row_ = 0;
    int pass_ = 0;
    bool done_ = false;
};

// LZW codes read least significant bit first from the image's data sub-blocks.
class CodeReader {
public:
    explicit CodeReader(ByteStream& stream) : stream_(stream) {}

    bool DataEnded() const { return dataEnded_; }
    void SetDataEnded() { dataEnded_ = true; }

    // The first sub-block: a short one still contributes the bytes that arrived.
    void ReadFirstBlock() {
        int length = stream_.ReadByte();
        if (length <= 0) {
            dataEnded_ = true;
            return;
        }
        size_t arrived = std::min<size_t>(length, stream_.Remaining());
        block_ = stream_.Current();
        blockLeft_ = arrived;
        stream_.Seek(stream_.Position() + arrived);
        available_ = 8 * arrived;
        if (arrived < static_cast<size_t>(length)) dataEnded_ = true;
    }

    // The next code of codeSize bits, or kDataEnded. A code is taken only while more bits than
    // its size are left; otherwise the next sub-block is fetched first.
    int GetCode(int codeSize) {
        if (available_ <= static_cast<size_t>(codeSize)) {
            do {
                if (dataEnded_ || !FetchBlock()) return kDataEnded;
            } while (available_ < static_cast<size_t>(codeSize));
        }
        while (accBits_ < codeSize) {
            acc_ |= static_cast<uint32_t>(*block_++) << accBits_;
            accBits_ += 8;
            --blockLeft_;
        }
        int code = static_cast<int>(acc_ & ((1u << codeSize) - 1));
        acc_ >>= codeSize;
        accBits_ -= codeSize;
        available_ -= codeSize;
        return code;
    }

    // Passes over sub-blocks up to an empty or cut-off one.
    void SkipRemainingBlocks() {
        while (!dataEnded_) {
            int length = stream_.ReadByte();
            if (length <= 0 || static_cast<size_t>(length) > stream_.Remaining()) {
                stream_.Seek(length <= 0 ? stream_.Position() : stream_.Size());
                dataEnded_ = true;
                return;
            }
            stream_.Seek(stream_.Position() + length);
        }
    }

private:
    // Appends the next sub-block; false (and DataEnded) when it is empty or cut off.
    bool FetchBlock() {
        int length = stream_.ReadByte();
        if (length <= 0 || static_cast<size_t>(length) > stream_.Remaining()) {
            stream_.Seek(length <= 0 ? stream_.Position() : stream_.Size());
            dataEnded_ = true;
            return false;
        }
        // What is left of the previous block (at most the bits of one code) joins the
        // accumulator before the block pointer moves on.
        while (blockLeft_ > 0) {
            acc_ |= static_cast<uint32_t>(*block_++) << accBits_;
            accBits_ += 8;
            --blockLeft_;
        }
        block_ = stream_.Current();
        blockLeft_ = static_cast<size_t>(length);
        stream_.Seek(stream_.Position() + length);
        available_ += 8 * static_cast<size_t>(length);
        return true;
    }

    ByteStream& stream_;
    const uint8_t* block_ = nullptr;
    size_t blockLeft_ = 0;
    size_t available_ = 0;  // bits in the accumulator plus bits of the block not yet taken
    uint32_t acc_ = 0;
    int accBits_ = 0;
    bool dataEnded_ = false;
};

// The LZW string table and the expansion of one code into its string of colour indices.
class LzwDecoder {
public:
    LzwDecoder(CodeReader& reader, int minCodeSize)
        : reader_(reader), minCodeSize_(minCodeSize), clear_(1 << minCodeSize), end_(clear_ + 1) {
        std::memset(prefix_, 0, sizeof prefix_);
        for (int i = 0; i < kTableSize; ++i) suffix_[i] = static_cast<uint16_t>(i < clear_ ? i : 0);
        Reset();
    }

    // Gives the length of the next string, stored at StringStart(), or a negative value: kDataEnded
    // when the data has ended, kEndOrDamaged for the end code or damaged data.
    int NextString() {
        int code = reader_.GetCode(codeSize_);
        while (code >= 0) {
            if (code == clear_) {
                Reset();
                do code = reader_.GetCode(codeSize_);
                while (code == clear_);
                if (code < 0) return code;
                if (code != end_) {
                    first_ = prev_ = code;
                    stringStart_ = kStringCapacity - 1;
                    string_[stringStart_] = static_cast<uint8_t>(code);
                    return 1;
                }
            }
            if (code == end_) {
                reader_.SkipRemainingBlocks();
                return kEndOrDamaged;
            }
            return Expand(code);
        }
        return code;
    }

    // The first code of the image data, taken after any clear codes; negative or the end code
    // when the image has no pixels.
    int FirstCode() {
        int code;
        do code = reader_.GetCode(codeSize_);
        while (code == clear_);
        if (code >= 0 && code != end_) {
            first_ = prev_ = code;
            stringStart_ = kStringCapacity - 1;
            string_[stringStart_] = static_cast<uint8_t>(code);
        }
        return code;
    }

    bool IsEndCode(int code) const { return code == end_; }
    const uint8_t* StringStart() const { return string_ + stringStart_; }

private:
    void Reset() {
        codeSize_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clear_;
        nextFree_ = clear_ + 2;
    }

    int Expand(int code) {
        const int incoming = code;
        int p = kStringCapacity;
        if (code >= nextFree_) {
            // A code not yet in the table: the previous string followed by its own first index.
            string_[--p] = static_cast<uint8_t>(first_);
            code = prev_;
        }
        while (code >= clear_) {
            // Minimum code sizes of 12 and up put codes beyond the table; they are damaged data.
            if (code >= kTableSize) return kEndOrDamaged;
            string_[--p] = static_cast<uint8_t>(suffix_[code]);
            if (kStringCapacity - p > kTableSize - 1) return kEndOrDamaged;
            if (prefix_[code] == code) return kEndOrDamaged;
            code = prefix_[code];
        }
        first_ = code < kTableSize ? suffix_[code] : code;
        string_[--p] = static_cast<uint8_t>(first_);
        if (nextFree_ < kTableSize) {
            suffix_[nextFree_] = static_cast<uint16_t>(first_);
            prefix_[nextFree_] = static_cast<uint16_t>(prev_);
            ++nextFree_;
            if (nextFree_ >= codeLimit_ && codeLimit_ < kTableSize) {
                codeLimit_ *= 2;
                ++codeSize_;
            }
        }
        prev_ = incoming;
        stringStart_ = p;
        return kStringCapacity - p;
    }

    CodeReader& reader_;
    const int minCodeSize_;
    const int clear_;
    const int end_;
    int codeSize_ = 0;
    int codeLimit_ = 0;
    int nextFree_ = 0;
    int first_ = 0;
    int prev_ = 0;
    int stringStart_ = kStringCapacity;
    uint16_t prefix_[kTableSize];
    uint16_t suffix_[kTableSize];
    uint8_t string_[kStringCapacity];
};

// Puts decoded indices into the frame's planes along the row walk.
class PixelPlacer {
public:
    PixelPlacer(GifFrame& frame, const ProgressHook& progress)
        : frame_(frame),
          walk_(frame.Height, frame.Interlaced),
          width_(frame.Width),
          stride_(frame.PixelStride()),
          maskStride_(frame.MaskStride()),
          reportProgress_(progress && int64_t{frame.Width} * frame.Height > 100000),
          rowMask_(frame.Width > 320 ? 31 : 63),
          progress_(progress) {}

    bool Done() const { return walk_.Done(); }

    // Places n indices; stops early when the last row is full.
    void Place(const uint8_t* indices, int n) {
        while (n > 0 && !walk_.Done()) {
            int count = std::min(n, width_ - x_);
            uint8_t* row = frame_.Pixels.get() + static_cast<size_t>(walk_.Row()) * stride_;
            std::memcpy(row + x_, indices, static_cast<size_t>(count));
            if (frame_.Transparent) {
                uint8_t* maskRow = frame_.MaskBits.get() + static_cast<size_t>(walk_.Row()) * maskStride_;
                const uint8_t see = frame_.TransparentIndex;
                for (int i = 0; i < count; ++i) {
                    if (indices[i] == see) {
                        int x = x_ + i;
                        maskRow[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                    }
                }
            }
            indices += count;
            n -= count;
            x_ += count;
            if (x_ == width_) EndRow();
        }
    }

    // Marks every pixel from the current one to the end of the walk see-through.
    void MarkRestSeeThrough() {
        while (!walk_.Done()) {
            uint8_t* maskRow = frame_.MaskBits.get() + static_cast<size_t>(walk_.Row()) * maskStride_;
            for (int x = x_; x < width_; ++x) maskRow[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            x_ = 0;
            walk_.Advance();
        }
    }

private:
    void EndRow() {
        if (reportProgress_ && (walk_.Row() & rowMask_) == 0 && walk_.Row() < frame_.Height) progress_();
        x_ = 0;
        walk_.Advance();
    }

    GifFrame& frame_;
    RowWalk walk_;
    const int width_;
    const size_t stride_;
    const size_t maskStride_;
    const bool reportProgress_;
    const int rowMask_;
    const ProgressHook& progress_;
    int x_ = 0;
};

}  // namespace

void DecodeImage(GifFrame& frame, ByteStream& stream, const ProgressHook& progress) {
    PixelPlacer placer(frame, progress);
    const int minCodeSize = stream.ReadByte();
    // Code sizes above 15 cannot be decoded at all: the image stays at index 0, fully covered.
    if (minCodeSize > 15) return;
    if (minCodeSize >= 0) {
        CodeReader reader(stream);
        reader.ReadFirstBlock();
        auto lzw = std::make_unique<LzwDecoder>(reader, minCodeSize);
        int code = lzw->FirstCode();
        if (code >= 0 && !lzw->IsEndCode(code)) {
            placer.Place(lzw->StringStart(), 1);
            while (!placer.Done()) {
                int n = lzw->NextString();
                if (n < 0) break;
                placer.Place(lzw->StringStart(), n);
            }
        }
        // Read on to the end of this image's data so that the stream stands after it.
        while (lzw->NextString() >= 0) {
        }
    }
    if (frame.Transparent) placer.MarkRestSeeThrough();
}

bool ReadFrame(GifFrame& frame, ByteStream& stream, const Palette& globalPalette,
               const GraphicControlBlock& graphicControl, int32_t ownerColorBits, int64_t pixelBudget,
               const ProgressHook& progress) {
    uint8_t d[10];
    stream.ReadExact(d, sizeof d);
    if (d[0] != ',') return false;
    frame.Left = Le16(d + 1);
    frame.Top = Le16(d + 3);
    frame.Width = Le16(d + 5);
    frame.Height = Le16(d + 7);
    if (frame.Width == 0 || frame.Height == 0) return false;
    if (frame.Width > kMaxSide || frame.Height > kMaxSide) throw AbortError();
    const uint8_t packed = d[9];
    if (packed & 0x80) {
        frame.HasLocalPalette = true;
        frame.LocalBits = (packed & 7) + 1;
        frame.Colors.fill(0);
        stream.ReadUpTo(frame.Colors.data(), size_t{3} << frame.LocalBits);
    } else {
        frame.HasLocalPalette = false;
        frame.LocalBits = 0;
        frame.Colors = globalPalette;
    }
    frame.Interlaced = (packed & 0x40) != 0;

    const uint8_t flags = graphicControl[1];
    const int disposal = (flags >> 2) & 7;
    // Methods 4 to 7 are undefined; they are treated as "restore to background".
    frame.Disposal = static_cast<uint8_t>(disposal <= 3 ? disposal : 2);
    frame.Delay = Le16(graphicControl.data() + 2) * 10;
    frame.Transparent = (flags & 1) != 0;
    frame.TransparentIndex = graphicControl[4];
    frame.ColorCount = 1 << (frame.HasLocalPalette ? frame.LocalBits : std::clamp(ownerColorBits, 0, 8));

    const int64_t area = int64_t{frame.Width} * frame.Height;
    if (area > pixelBudget) throw LimitError("picture too large to decode");
    frame.Pixels.reset(new uint8_t[frame.PixelStride() * frame.Height]());
    if (frame.Transparent) frame.MaskBits.reset(new uint8_t[frame.MaskStride() * frame.Height]());
    DecodeImage(frame, stream, progress);
    return true;
}

}  // namespace gif_core
