#include "GifDecoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The image's rows in the order the data delivers them.
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

// The image's data sub-blocks joined into one run of bytes, with the end of every block, so that
// codes can be read with whole-word loads.
struct BlockData {
    std::vector<uint8_t> bytes;        // the data, then 8 zero bytes so that loads never run out
    std::vector<size_t> endBits;       // bits up to the end of each block
    std::vector<size_t> endPositions;  // stream position after each block
    size_t finalPosition = 0;          // stream position after the last sub-block read
};

// Reads the sub-blocks up to an empty or cut-off one. A cut-off first block still gives the bytes
// that arrived; a later cut-off block ends the data without them.
BlockData GatherBlocks(ByteStream& stream) {
    BlockData data;
    // Size the run once: a first pass over the length bytes.
    size_t total = 0;
    size_t blocks = 0;
    for (size_t pos = stream.Position();
         pos < stream.Size() && stream.Current()[pos - stream.Position()] != 0;) {
        const size_t length = stream.Current()[pos - stream.Position()];
        total += length;
        ++blocks;
        pos += length + 1;
    }
    data.bytes.reserve(std::min(total, stream.Remaining()) + 8);
    data.endBits.reserve(blocks);
    data.endPositions.reserve(blocks);
    bool first = true;
    for (;;) {
        const int length = stream.ReadByte();
        if (length <= 0) break;
        size_t arrived = static_cast<size_t>(length);
        if (arrived > stream.Remaining()) {
            if (!first) {
                stream.Seek(stream.Size());
                break;
            }
            arrived = stream.Remaining();
        }
        data.bytes.insert(data.bytes.end(), stream.Current(), stream.Current() + arrived);
        stream.Seek(stream.Position() + arrived);
        data.endBits.push_back(8 * data.bytes.size());
        data.endPositions.push_back(stream.Position());
        first = false;
        if (arrived < static_cast<size_t>(length)) break;
    }
    data.finalPosition = stream.Position();
    data.bytes.resize(data.bytes.size() + 8, 0);
    return data;
}

// Reports progress as rows are completed, in the order the data delivers them: after every 32nd
// (images wider than 320 pixels) or 64th row of images above 100000 pixels.
class RowTicker {
public:
    RowTicker(const GifFrame& frame, const ProgressHook& progress)
        : walk_(frame.Height, frame.Interlaced),
          width_(static_cast<size_t>(frame.Width)),
          height_(frame.Height),
          total_(static_cast<size_t>(frame.Width) * frame.Height),
          on_(progress && int64_t{frame.Width} * frame.Height > 100000),
          rowMask_(frame.Width > 320 ? 31 : 63),
          progress_(progress) {}

    // How many pixels may be placed before Reached must be called.
    size_t Checkpoint() const { return on_ ? std::min(total_, rowEnd_) : total_; }

    // Tells that placed pixels are in place; reports every row they complete.
    void Reached(size_t placed) {
        while (on_ && !walk_.Done() && placed >= rowEnd_) {
            if ((walk_.Row() & rowMask_) == 0 && walk_.Row() < height_) progress_();
            walk_.Advance();
            rowEnd_ += width_;
        }
    }

private:
    RowWalk walk_;
    const size_t width_;
    const int32_t height_;
    const size_t total_;
    const bool on_;
    const int rowMask_;
    const ProgressHook& progress_;
    size_t rowEnd_ = width_;
};

// LZW decoding of one image's data. Codes are read least significant bit first. A code is taken
// only while more bits than its size are left in the blocks fetched so far; otherwise the next
// block is fetched first, and the data has ended when there is none.
class LzwDecoder {
public:
    LzwDecoder(const BlockData& data, int minCodeSize)
        : bytes_(data.bytes.data()),
          endBits_(data.endBits.data()),
          blockCount_(data.endBits.size()),
          minCodeSize_(minCodeSize),
          clear_(1 << minCodeSize),
          end_(clear_ + 1) {
        std::memset(prefix_, 0, sizeof prefix_);
        std::memset(suffix_, 0, sizeof suffix_);
        std::memset(length_, 0, sizeof length_);
        std::memset(position_, 0, sizeof position_);
        for (int i = 0; i < std::min(clear_, kTableSize); ++i) {
            suffix_[i] = static_cast<uint8_t>(i);
            length_[i] = 1;
        }
        if (blockCount_ > 0) fetchedBits_ = endBits_[nextBlock_++];
        Reset();
    }

    // Blocks fetched so far: the stream stands after the last of them when decoding stops on
    // damaged data.
    size_t BlocksFetched() const { return nextBlock_; }

    // Decodes into out, the image's indices in the order the data delivers them, until total
    // pixels are placed or the data stops; out may be written up to capacity. Gives kDataEnded or
    // kEndOrDamaged for a stop inside the image, 0 when the image was filled; placed tells how far.
    int Decode(uint8_t* out, size_t total, size_t capacity, size_t& placed, RowTicker& ticker) {
        placed = 0;
        int code = TakeFirstCode();
        if (code < 0 || code == end_) return code < 0 ? code : kEndOrDamaged;
        out[0] = static_cast<uint8_t>(code);

        // The hot loop keeps its state in locals so that pixel stores cannot alias it. Every string
        // in the table lies somewhere in the output already: an entry is the previous string plus
        // the first index of the one after it, so it is copied from there instead of walked.
        size_t p = 1;
        size_t prevPos = 0;
        size_t prevLen = 1;
        size_t bitpos = bitpos_;
        int codeSize = codeSize_;
        int nextFree = nextFree_;
        int prev = prev_;
        bool wellFormed = wellFormed_;
        const int clear = clear_;
        for (;;) {
            size_t checkpoint = ticker.Checkpoint();
            if (p >= checkpoint) {
                ticker.Reached(p);
                if (p >= total) break;
                checkpoint = ticker.Checkpoint();
            }
            if (bitpos + static_cast<size_t>(codeSize) >= fetchedBits_) {
                bitpos_ = bitpos;
                if (!Fetch(codeSize)) {
                    ticker.Reached(p);
                    placed = p;
                    return kDataEnded;
                }
            }
            uint64_t word;
            std::memcpy(&word, bytes_ + (bitpos >> 3), sizeof word);
            code = static_cast<int>((word >> (bitpos & 7)) & ((1u << codeSize) - 1));
            bitpos += static_cast<size_t>(codeSize);

            size_t len;
            int first;
            if (code < clear) {
                out[p] = static_cast<uint8_t>(code);
                len = 1;
                first = code;
            } else if (wellFormed && code > clear + 1 && code < nextFree) {
                len = length_[code];
                CopyString(out, p, position_[code], len, total, capacity);
                first = out[p];
            } else if (wellFormed && code == nextFree && nextFree < kTableSize) {
                len = prevLen + 1;
                first = out[prevPos];
                CopyString(out, p, prevPos, prevLen, total, capacity);
                if (p + prevLen < total) out[p + prevLen] = static_cast<uint8_t>(first);
            } else {
                // Control codes and damaged data.
                bitpos_ = bitpos;
                codeSize_ = codeSize;
                nextFree_ = nextFree;
                prev_ = prev;
                first_ = out[prevPos];
                wellFormed_ = wellFormed;
                const int n = SlowString(code);
                if (n < 0) {
                    ticker.Reached(p);
                    placed = p;
                    return n;
                }
                const size_t room = total - p;
                std::memcpy(out + p, string_ + stringStart_, std::min<size_t>(static_cast<size_t>(n), room));
                prevPos = p;
                prevLen = static_cast<size_t>(n);
                p += std::min<size_t>(static_cast<size_t>(n), room);
                bitpos = bitpos_;
                codeSize = codeSize_;
                nextFree = nextFree_;
                prev = prev_;
                wellFormed = wellFormed_;
                continue;
            }
            if (nextFree < kTableSize) {
                suffix_[nextFree] = static_cast<uint8_t>(first);
                prefix_[nextFree] = static_cast<uint16_t>(prev);
                length_[nextFree] = static_cast<uint16_t>(prevLen + 1);
                position_[nextFree] = static_cast<uint32_t>(prevPos);
                ++nextFree;
                if (nextFree >= codeLimit_ && codeLimit_ < kTableSize) {
                    codeLimit_ *= 2;
                    ++codeSize;
                }
            }
            prev = code;
            prevPos = p;
            prevLen = len;
            p = std::min(p + len, total);
        }
        bitpos_ = bitpos;
        codeSize_ = codeSize;
        nextFree_ = nextFree;
        prev_ = prev;
        first_ = out[prevPos];
        wellFormed_ = wellFormed;
        placed = p;
        return 0;
    }

    // Reads on, discarding strings, until the data ends, the end code comes or the data is
    // damaged; gives which.
    int Drain() {
        for (;;) {
            const int code = GetCode();
            // The indices read here are discarded, so while the table is sound a code needs no
            // walk: only the shape of the table (its entries and the code size) matters.
            if (code >= 0 && wellFormed_ && code != clear_ && code != end_ &&
                (code < nextFree_ || (code == nextFree_ && nextFree_ < kTableSize))) {
                AddEntry(0);
                prev_ = code;
                continue;
            }
            const int n = SlowString(code);
            if (n < 0) return n;
        }
    }

    bool EndCodeSeen() const { return endCodeSeen_; }

private:
    // Copies len indices from an earlier place of the output to p, cut at total. The source always
    // ends at or before p, so short strings far enough back go as one 16-byte block (writing
    // past the string is harmless: later strings overwrite it, and capacity bounds it).
    static void CopyString(uint8_t* out, size_t p, size_t from, size_t len, size_t total, size_t capacity) {
        if (len <= 16 && p - from >= 16 && p + 16 <= capacity) {
            uint64_t a, b;
            std::memcpy(&a, out + from, 8);
            std::memcpy(&b, out + from + 8, 8);
            std::memcpy(out + p, &a, 8);
            std::memcpy(out + p + 8, &b, 8);
            return;
        }
        std::memcpy(out + p, out + from, std::min(len, total - p));
    }

    void Reset() {
        codeSize_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clear_;
        nextFree_ = clear_ + 2;
        wellFormed_ = true;
    }

    // Makes at least codeSize bits available; false when the data has ended.
    bool Fetch(int codeSize) {
        do {
            if (nextBlock_ >= blockCount_) return false;
            fetchedBits_ = endBits_[nextBlock_++];
        } while (fetchedBits_ - bitpos_ < static_cast<size_t>(codeSize));
        return true;
    }

    int GetCode() {
        if (bitpos_ + static_cast<size_t>(codeSize_) >= fetchedBits_ && !Fetch(codeSize_)) return kDataEnded;
        uint64_t word;
        std::memcpy(&word, bytes_ + (bitpos_ >> 3), sizeof word);
        const int code = static_cast<int>((word >> (bitpos_ & 7)) & ((1u << codeSize_) - 1));
        bitpos_ += static_cast<size_t>(codeSize_);
        return code;
    }

    int TakeFirstCode() {
        int code;
        do code = GetCode();
        while (code == clear_);
        if (code >= 0 && code != end_) StartString(code);
        return code;
    }

    void StartString(int code) {
        first_ = prev_ = code;
        // A string may only start with a single index; anything else makes the table unreliable.
        wellFormed_ = code < clear_;
    }

    // The next string into string_, as NextString, for a code already read.
    int SlowString(int code) {
        while (code >= 0) {
            if (code == clear_) {
                Reset();
                do code = GetCode();
                while (code == clear_);
                if (code < 0) return code;
                if (code != end_) {
                    StartString(code);
                    stringStart_ = kStringCapacity - 1;
                    string_[stringStart_] = static_cast<uint8_t>(code);
                    return 1;
                }
            }
            if (code == end_) {
                endCodeSeen_ = true;
                nextBlock_ = blockCount_;  // the rest of the image's blocks is passed over
                return kEndOrDamaged;
            }
            return Expand(code);
        }
        return code;
    }

    // The previous string followed by first becomes the next table entry, while there is room.
    // Only the fast paths use lengths and positions, and only while the table is sound, which
    // entries made here never are.
    void AddEntry(int first) {
        if (nextFree_ >= kTableSize) return;
        suffix_[nextFree_] = static_cast<uint8_t>(first);
        prefix_[nextFree_] = static_cast<uint16_t>(prev_);
        ++nextFree_;
        if (nextFree_ >= codeLimit_ && codeLimit_ < kTableSize) {
            codeLimit_ *= 2;
            ++codeSize_;
        }
    }

    int Expand(int code) {
        const int incoming = code;
        int p = kStringCapacity;
        if (code >= nextFree_) {
            // A code not yet in the table: the previous string followed by its own first index.
            if (code > nextFree_) wellFormed_ = false;
            string_[--p] = static_cast<uint8_t>(first_);
            code = prev_;
        }
        while (code >= clear_) {
            // Minimum code sizes of 12 and up put codes beyond the table; they are damaged data.
            if (code >= kTableSize) return kEndOrDamaged;
            string_[--p] = suffix_[code];
            if (kStringCapacity - p > kTableSize - 1) return kEndOrDamaged;
            if (prefix_[code] == code) return kEndOrDamaged;
            code = prefix_[code];
        }
        first_ = code;
        string_[--p] = static_cast<uint8_t>(code);
        AddEntry(first_);
        prev_ = incoming;
        stringStart_ = p;
        return kStringCapacity - p;
    }

    const uint8_t* bytes_;
    const size_t* endBits_;
    const size_t blockCount_;
    size_t nextBlock_ = 0;
    size_t fetchedBits_ = 0;
    size_t bitpos_ = 0;
    const int minCodeSize_;
    const int clear_;
    const int end_;
    int codeSize_ = 0;
    int codeLimit_ = 0;
    int nextFree_ = 0;
    int first_ = 0;
    int prev_ = 0;
    // Every code since the last clear named a known string or the next free one, so the lengths
    // kept in length_ are exact and the fast paths may use them.
    bool wellFormed_ = true;
    bool endCodeSeen_ = false;
    int stringStart_ = kStringCapacity;
    uint16_t prefix_[kTableSize];
    uint8_t suffix_[kTableSize];
    uint16_t length_[kTableSize];
    uint32_t position_[kTableSize];
    uint8_t string_[kStringCapacity];
};

}  // namespace

void DecodeImage(GifFrame& frame, ByteStream& stream, const ProgressHook& progress) {
    const size_t width = static_cast<size_t>(frame.Width);
    const size_t total = width * static_cast<size_t>(frame.Height);
    const size_t stride = frame.PixelStride();
    size_t placed = 0;
    // Output in data order: straight into the pixel plane when rows follow each other there,
    // otherwise into a scratch run that is dealt out to the rows afterwards.
    const bool direct = !frame.Interlaced && stride == width;
    std::unique_ptr<uint8_t[]> scratch;
    const int minCodeSize = stream.ReadByte();
    // Code sizes above 15 cannot be decoded at all: the image stays at index 0, fully covered.
    if (minCodeSize > 15) return;
    if (minCodeSize >= 0) {
        const BlockData data = GatherBlocks(stream);
        auto lzw = std::make_unique<LzwDecoder>(data, minCodeSize);
        constexpr size_t kSlack = 16;
        if (!direct) scratch.reset(new uint8_t[total + kSlack]);
        uint8_t* out = direct ? frame.Pixels.get() : scratch.get();
        RowTicker ticker(frame, progress);
        int result = lzw->Decode(out, total, direct ? total : total + kSlack, placed, ticker);
        if (direct) {
            // Bytes a block copy wrote beyond the last string are not pixels.
            std::memset(out + placed, 0, std::min(total - placed, kSlack));
        }
        // Read on to the end of this image's data so that the stream stands after it; an end code
        // has already passed over the rest.
        if (result == 0 || (result == kEndOrDamaged && !lzw->EndCodeSeen())) result = lzw->Drain();
        if (result == kEndOrDamaged && !lzw->EndCodeSeen() && lzw->BlocksFetched() > 0) {
            // Damaged data: reading goes on after the last block the decoder took.
            stream.Seek(data.endPositions[lzw->BlocksFetched() - 1]);
        } else {
            stream.Seek(data.finalPosition);
        }
    }

    // Deal the placed pixels out to their rows and mark the see-through ones; pixels never placed
    // keep index 0 and, in a transparent image, are see-through.
    RowWalk walk(frame.Height, frame.Interlaced);
    const size_t maskStride = frame.MaskStride();
    const uint8_t see = frame.TransparentIndex;
    for (size_t start = 0; !walk.Done(); start += width, walk.Advance()) {
        uint8_t* row = frame.Pixels.get() + static_cast<size_t>(walk.Row()) * stride;
        const size_t have = start < placed ? std::min(width, placed - start) : 0;
        if (!direct && have > 0) std::memcpy(row, scratch.get() + start, have);
        if (!frame.Transparent) {
            if (have < width && direct) break;
            continue;
        }
        uint8_t* maskRow = frame.MaskBits.get() + static_cast<size_t>(walk.Row()) * maskStride;
        for (size_t x = 0; x < width; ++x) {
            if (x >= have || row[x] == see) maskRow[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        }
    }
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
