// SPDX-License-Identifier: GPL-3.0-or-later
#include "GifDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Bytes a plane or run of indices holds beyond its pixels: strings are stored as 16-byte blocks,
// which may reach past the last pixel.
constexpr size_t kSlack = 16;
// Codes are at most this wide while the table is in use (minimum code sizes up to 11).
constexpr int kMaxTableCodeSize = 12;
// The length a table entry gives when its string is not at hand for the fast path: the clear and
// end codes and entries made by the slow path. Longer than any string, so that it takes the branch
// of long strings and costs the common path nothing.
constexpr uint16_t kNoString = 0xFFFF;

// How a stretch of decoding ended.
enum class LzwResult {
    Filled,        // every pixel of the image is placed
    DataEnded,     // the sub-blocks ended (an empty or cut-off one, or the end of the stream)
    EndOrDamaged,  // the end code came, or the data names strings that cannot be
};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The first 16 indices of a string, zero beyond its end; kept in a vector register.
typedef uint8_t Head __attribute__((vector_size(16)));

Head LoadHead(const uint8_t* p) {
    Head h;
    std::memcpy(&h, p, sizeof h);
    return h;
}

void StoreHead(uint8_t* p, Head h) {
    std::memcpy(p, &h, sizeof h);
}

// A head holding one index. Built in a register: writing one lane of a head in memory and reading
// the whole head back makes the processor wait for the byte store to reach the cache.
Head SingleIndex(uint8_t index) {
#if defined(__SSE2__)
    return Head(_mm_cvtsi32_si128(index));
#else
    Head h{};
    h[0] = index;
    return h;
#endif
}

// Lane n set for n below 16; no lane for 16.
struct LaneMasks {
    alignas(16) uint8_t lanes[17][16];
    constexpr LaneMasks() : lanes{} {
        for (int n = 0; n < 16; ++n) lanes[n][n] = 0xFF;
    }
};
constexpr LaneMasks kLane;

// The head of a string of length len followed by the first index of next.
Head Append(Head head, size_t len, Head next) {
    const Head firstEverywhere = __builtin_shufflevector(next, next, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return head | (LoadHead(kLane.lanes[std::min<size_t>(len, 16)]) & firstEverywhere);
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
class BlockData {
public:
    // Reads the sub-blocks up to an empty or cut-off one. A cut-off first block still gives the
    // bytes that arrived; a later cut-off block ends the data without them.
    explicit BlockData(ByteStream& stream) : startPosition_(stream.Position()) {
        // Size the run once: a first pass over the length bytes.
        size_t total = 0;
        size_t blocks = 0;
        for (size_t pos = stream.Position(); pos < stream.Size() && stream.Current()[pos - stream.Position()] != 0;) {
            const size_t length = stream.Current()[pos - stream.Position()];
            total += length;
            ++blocks;
            pos += length + 1;
        }
        bytes_.reserve(std::min(total, stream.Remaining()) + 8);
        endBits_.reserve(blocks);
        endPositions_.reserve(blocks);
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
            bytes_.insert(bytes_.end(), stream.Current(), stream.Current() + arrived);
            stream.Seek(stream.Position() + arrived);
            endBits_.push_back(8 * bytes_.size());
            endPositions_.push_back(stream.Position());
            first = false;
            if (arrived < static_cast<size_t>(length)) break;
        }
        finalPosition_ = stream.Position();
        bytes_.resize(bytes_.size() + 8, 0);  // whole-word loads never run out
    }

    const uint8_t* Bytes() const { return bytes_.data(); }
    size_t BlockCount() const { return endBits_.size(); }
    // Bits up to the end of block i.
    size_t EndBits(size_t i) const { return endBits_[i]; }
    // Stream position after the first n blocks; before the data when n is 0.
    size_t PositionAfter(size_t n) const { return n > 0 ? endPositions_[n - 1] : startPosition_; }
    // Stream position after the last sub-block read.
    size_t FinalPosition() const { return finalPosition_; }

private:
    const size_t startPosition_;
    std::vector<uint8_t> bytes_;
    std::vector<size_t> endBits_;
    std::vector<size_t> endPositions_;
    size_t finalPosition_ = 0;
};

// Reports progress as rows are completed, in the order the data delivers them: after every 32nd
// (images wider than 320 pixels) or 64th row of images above 100000 pixels. At each report the
// stream stands after the sub-block the decoder reads from.
class RowTicker {
public:
    RowTicker(const GifFrame& frame, const ProgressHook& progress, ByteStream& stream)
        : walk_(frame.Height, frame.Interlaced),
          width_(static_cast<size_t>(frame.Width)),
          height_(frame.Height),
          total_(static_cast<size_t>(frame.Width) * frame.Height),
          on_(progress && int64_t{frame.Width} * frame.Height > 100000),
          rowMask_(frame.Width > 320 ? 31 : 63),
          progress_(progress),
          stream_(stream) {}

    // How many pixels may be placed before Reached must be called.
    size_t Checkpoint() const { return on_ ? std::min(total_, rowEnd_) : total_; }

    // Tells that placed pixels are in place, with the data read up to streamPosition; reports
    // every row they complete.
    void Reached(size_t placed, size_t streamPosition) {
        while (on_ && !walk_.Done() && placed >= rowEnd_) {
            if ((walk_.Row() & rowMask_) == 0 && walk_.Row() < height_) {
                stream_.Seek(streamPosition);
                progress_();
            }
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
    ByteStream& stream_;
    size_t rowEnd_ = width_;
};

// The state the decoding loop carries from code to code.
struct Run {
    size_t p;        // indices placed
    size_t prevLen;  // length of the previous string
    size_t bitpos;   // the next code's first bit
    unsigned codeSize;
    unsigned nextFree;  // the next table entry to be made
    unsigned prev;      // the previous code
    Head prevHead;      // the first 16 indices of the previous string
};

// LZW decoding of one image's data. Codes are read least significant bit first. A code is taken
// only while more bits than its size are left in the blocks fetched so far; otherwise the next
// block is fetched first, and the data has ended when there is none.
//
// The value a literal code stands for is its low 8 bits, or, for a run that finds the
// see-through pixels, 1 when the code is the transparent index and 0 otherwise.
class LzwDecoder {
public:
    // literalsReady: the tables already hold the literal, clear and end entries of this minimum
    // code size and see-through code (left by an earlier decoder: decoding never writes them).
    LzwDecoder(const BlockData& data, int minCodeSize, int seeThroughCode, bool literalsReady)
        : data_(data),
          bytes_(data.Bytes()),
          minCodeSize_(minCodeSize),
          clear_(1 << minCodeSize),
          end_(clear_ + 1),
          seeThroughCode_(seeThroughCode) {
        // Only the literal entries are needed before decoding: every other entry is written
        // before it is read, so whatever an earlier decoder left in the tables is never seen.
        const int literals = std::min(clear_, kTableSize);
        if (!literalsReady) {
            for (int i = 0; i < literals; ++i) {
                const uint8_t v = Literal(i);
                StoreHead(heads_[i], SingleIndex(v));
                suffix_[i] = v;
            }
            std::fill(len_, len_ + literals, uint16_t{1});
            std::fill(pos_, pos_ + literals, 0u);
            std::fill(prefix_, prefix_ + literals, uint16_t{0});
            for (int i = clear_; i < std::min(clear_ + 2, kTableSize); ++i) {
                len_[i] = kNoString;
                pos_[i] = 0;
                prefix_[i] = 0;
                suffix_[i] = 0;
            }
        }
        writtenEnd_ = std::min(clear_ + 2, kTableSize);
        if (data_.BlockCount() > 0) fetchedBits_ = data_.EndBits(nextBlock_++);
        Reset();
    }

    // Blocks fetched so far: the stream stands after the last of them when decoding stops on
    // damaged data.
    size_t BlocksFetched() const { return nextBlock_; }

    // Decodes into out, the image's indices in the order the data delivers them, until total
    // pixels are placed or the data stops; out may be written up to total + kSlack. placed tells
    // how far it got.
    LzwResult Decode(uint8_t* out, size_t total, size_t& placed, RowTicker& ticker) {
        placed = 0;
        int code;
        const LzwResult start = TakeFirstCode(code);
        if (start != LzwResult::Filled) return start;
        out[0] = first_;

        Run run;
        run.p = 1;
        run.prevLen = 1;
        run.prevHead = SingleIndex(out[0]);
        run.bitpos = bitpos_;
        run.codeSize = static_cast<unsigned>(codeSize_);
        run.nextFree = static_cast<unsigned>(nextFree_);
        run.prev = static_cast<unsigned>(prev_);
        size_t checkpoint = ticker.Checkpoint();
        // The table can be used only while codes stay inside it.
        const bool tableFits = clear_ + 2 <= kTableSize;

        for (;;) {
            if (run.p >= checkpoint) {
                run.p = std::min(run.p, total);
                ticker.Reached(run.p, data_.PositionAfter(nextBlock_));
                if (run.p >= total) break;
                checkpoint = ticker.Checkpoint();
            }
            if (run.bitpos + run.codeSize >= fetchedBits_) {
                bitpos_ = run.bitpos;
                if (!Fetch(static_cast<int>(run.codeSize))) {
                    placed = run.p;
                    ticker.Reached(run.p, data_.PositionAfter(nextBlock_));
                    return LzwResult::DataEnded;
                }
            }
            // Codes that end before this bit need no look at the block end.
            const size_t safeBits = fetchedBits_ > kMaxTableCodeSize ? fetchedBits_ - kMaxTableCodeSize : 0;
            if (wellFormed_ && tableFits && FastCodes(out, total, safeBits, checkpoint, run)) continue;

            // Control codes, damaged data, and tables the codes do not fit.
            const unsigned codeMask = (1u << run.codeSize) - 1;
            const int code = static_cast<int>(
                static_cast<unsigned>(Load64(bytes_ + (run.bitpos >> 3)) >> (run.bitpos & 7)) & codeMask);
            run.bitpos += run.codeSize;
            KeepState(run, out);
            int n;
            const LzwResult r = SlowString(code, n);
            if (r != LzwResult::Filled) {
                run.p = std::min(run.p, total);
                placed = run.p;
                ticker.Reached(run.p, data_.PositionAfter(nextBlock_));
                return r;
            }
            const size_t room = total > run.p ? total - run.p : 0;
            std::memcpy(out + run.p, string_ + stringStart_, std::min<size_t>(static_cast<size_t>(n), room));
            run.prevLen = static_cast<size_t>(n);
            run.prevHead = LoadHeadOf(string_ + stringStart_, run.prevLen);
            run.p += std::min<size_t>(static_cast<size_t>(n), room);
            run.bitpos = bitpos_;
            run.codeSize = static_cast<unsigned>(codeSize_);
            run.nextFree = static_cast<unsigned>(nextFree_);
            run.prev = static_cast<unsigned>(prev_);
        }
        KeepState(run, out);
        placed = run.p;
        return LzwResult::Filled;
    }

    // Decodes codes from the table while each ends before stopBits and the output stays below
    // stopP; false at a code only the slow path takes (a control code, an entry without a string,
    // one beyond the table), with the run standing before it.
    bool FastCodes(uint8_t* out, size_t total, size_t stopBits, size_t stopP, Run& run) {
        return run.nextFree < kTableSize ? FastCodesGrowing<false>(out, total, stopBits, stopP, run)
                                         : FastCodesGrowing<true>(out, total, stopBits, stopP, run);
    }

    // The loop of FastCodes, for a table that still grows (full false: it returns when the table
    // fills) or a full one, which takes no entries and no code beyond it. Kept apart, so that its
    // state stays in registers: stores of indices may alias anything, and spilled state would go
    // through memory on every code.
    // A table entry keeps the length of its string, where the string lies in the output and its
    // first 16 indices: a string is stored from its entry as one 16-byte block, and only a longer
    // one is copied on from the output.
    template <bool full>
    __attribute__((noinline)) bool FastCodesGrowing(uint8_t* out, size_t total, size_t stopBits, size_t stopP,
                                                    Run& run) {
        size_t p = run.p;
        size_t prevLen = run.prevLen;
        size_t bitpos = run.bitpos;
        unsigned codeSize = run.codeSize;
        unsigned codeMask = (1u << codeSize) - 1;
        // The code size grows when the next free entry reaches this; never beyond the table.
        unsigned growAt = codeMask < kTableSize - 1 ? codeMask + 1 : kTableSize;
        unsigned nextFree = run.nextFree;
        unsigned prev = run.prev;
        Head prevHead = run.prevHead;
        const uint8_t* const bytes = bytes_;
        bool taken = true;
        do {
            const unsigned c = static_cast<unsigned>(Load64(bytes + (bitpos >> 3)) >> (bitpos & 7)) & codeMask;
            size_t len;
            Head head;
            if (full || __builtin_expect(c < nextFree, 1)) {
                // A literal or a known string.
                len = len_[c];
                head = LoadHead(heads_[c]);
                if (__builtin_expect(len > 16, 0)) {
                    // The clear and end codes, and entries of the slow path, have no string here.
                    if (len == kNoString) {
                        taken = false;
                        break;
                    }
                    StoreHead(out + p, head);
                    CopyLong(out, p, pos_[c], len, total);
                } else {
                    StoreHead(out + p, head);
                }
                if (!full) {
                    // The new entry: the previous string and this one's first index, put in place
                    // by a byte store, cheaper than building it in a register.
                    StoreHead(heads_[nextFree], prevHead);
                    if (prevLen < 16) heads_[nextFree][prevLen] = heads_[c][0];
                }
            } else if (c == nextFree) {
                // The previous string followed by its own first index.
                len = prevLen + 1;
                head = Append(prevHead, prevLen, prevHead);
                StoreHead(out + p, head);
                if (len > 16) CopyLong(out, p, p - prevLen, len, total);
                StoreHead(heads_[nextFree], head);
            } else {
                taken = false;
                break;
            }
            bitpos += codeSize;
            if (!full) {
                len_[nextFree] = static_cast<uint16_t>(prevLen + 1);
                pos_[nextFree] = static_cast<uint32_t>(p - prevLen);
                prefix_[nextFree] = static_cast<uint16_t>(prev);
                ++nextFree;
                if (__builtin_expect(nextFree >= growAt, 0)) {
                    // The code limit is always one past the widest code.
                    if (growAt < kTableSize) {
                        ++codeSize;
                        codeMask = codeMask * 2 + 1;
                        growAt = codeMask < kTableSize - 1 ? codeMask + 1 : kTableSize;
                    }
                    if (nextFree == kTableSize) {
                        p += len;
                        prev = c;
                        prevLen = len;
                        prevHead = head;
                        break;
                    }
                }
            }
            prev = c;
            prevLen = len;
            prevHead = head;
            p += len;
        } while (bitpos < stopBits && p < stopP);
        run.p = p;
        run.prevLen = prevLen;
        run.bitpos = bitpos;
        run.codeSize = codeSize;
        run.nextFree = nextFree;
        run.prev = prev;
        run.prevHead = prevHead;
        return taken;
    }

    // Hands the state the decoding loop keeps in a run back to the members.
    void KeepState(const Run& run, const uint8_t* out) {
        bitpos_ = run.bitpos;
        codeSize_ = static_cast<int>(run.codeSize);
        codeLimit_ = 1 << run.codeSize;
        nextFree_ = static_cast<int>(run.nextFree);
        prev_ = static_cast<int>(run.prev);
        first_ = run.prevHead[0];
        // The entries of the fast path carry no suffix of their own; the damaged-data walk learns
        // them from the output.
        if (wellFormed_) stringOut_ = out;
    }

    // Reads on, discarding strings, until the data ends, the end code comes or the data is
    // damaged; gives which.
    LzwResult Drain() {
        for (;;) {
            int code;
            if (!GetCode(code)) return LzwResult::DataEnded;
            // The indices read here are discarded, so while the table is sound a code needs no
            // walk: only the shape of the table (its entries and the code size) matters.
            if (wellFormed_ && code != clear_ && code != end_ &&
                (code < nextFree_ || (code == nextFree_ && nextFree_ < kTableSize))) {
                AddEntry(0);
                prev_ = code;
                continue;
            }
            // The walk below reads suffixes; entries made here without one are never on the walk
            // of a sound table's code, and a damaged table's entries all have theirs.
            int n;
            const LzwResult r = SlowString(code, n);
            if (r != LzwResult::Filled) return r;
        }
    }

    bool EndCodeSeen() const { return endCodeSeen_; }

private:
    static Head LoadHeadOf(const uint8_t* s, size_t len) {
        uint8_t h[16] = {};
        std::memcpy(h, s, std::min<size_t>(len, 16));
        return LoadHead(h);
    }

    uint8_t Literal(int code) const {
        if (seeThroughCode_ >= 0) return code == seeThroughCode_ ? 1 : 0;
        return static_cast<uint8_t>(code);
    }

    // Copies the part after the head of a string (longer than 16) from its earlier place in the
    // output (from, at least 16 bytes before p) to p, cut at total. Whole 16-byte blocks may run up
    // to 15 bytes past the string, into bytes later strings overwrite. A string that runs into
    // itself (the code not yet in the table) is copied forward, so it repeats as it should. Not
    // inlined: the loop that calls it keeps its state in registers only without it.
    __attribute__((noinline)) static void CopyLong(uint8_t* out, size_t p, size_t from, size_t len, size_t total) {
        if (p + len <= total) {
            for (size_t i = 16; i < len; i += 16) StoreHead(out + p + i, LoadHead(out + from + i));
        } else {
            for (size_t i = 16; p + i < total; ++i) out[p + i] = out[from + i];
        }
    }

    void Reset() {
        writtenEnd_ = std::max(writtenEnd_, nextFree_);
        codeSize_ = minCodeSize_ + 1;
        codeLimit_ = 2 * clear_;
        nextFree_ = clear_ + 2;
        wellFormed_ = true;
    }

    // Makes at least codeSize bits available; false when the data has ended.
    bool Fetch(int codeSize) {
        do {
            if (nextBlock_ >= data_.BlockCount()) return false;
            fetchedBits_ = data_.EndBits(nextBlock_++);
        } while (fetchedBits_ - bitpos_ < static_cast<size_t>(codeSize));
        return true;
    }

    // The next code; false when the data has ended.
    bool GetCode(int& code) {
        if (bitpos_ + static_cast<size_t>(codeSize_) >= fetchedBits_ && !Fetch(codeSize_)) return false;
        code = static_cast<int>(static_cast<unsigned>(Load64(bytes_ + (bitpos_ >> 3)) >> (bitpos_ & 7)) &
                                ((1u << codeSize_) - 1));
        bitpos_ += static_cast<size_t>(codeSize_);
        return true;
    }

    // Skips clear codes to the first code of the data; Filled when it starts a string.
    LzwResult TakeFirstCode(int& code) {
        do {
            if (!GetCode(code)) return LzwResult::DataEnded;
        } while (code == clear_);
        if (code == end_) return LzwResult::EndOrDamaged;
        StartString(code);
        return LzwResult::Filled;
    }

    void StartString(int code) {
        prev_ = code;
        first_ = Literal(code);
        // A string may only start with a single index; anything else makes the table unreliable.
        wellFormed_ = code < clear_;
    }

    // Readies the table for the damaged-data walk, which may reach any entry: entries this decoder
    // never wrote have no string and read as zero, and entries made by the fast path get the
    // suffix they carry no copy of, the last index of their string, which lies in the output.
    void LearnSuffixes() {
        writtenEnd_ = std::max(writtenEnd_, nextFree_);
        if (writtenEnd_ < kTableSize) {
            std::fill(len_ + writtenEnd_, len_ + kTableSize, kNoString);
            std::fill(pos_ + writtenEnd_, pos_ + kTableSize, 0);
            std::fill(prefix_ + writtenEnd_, prefix_ + kTableSize, 0);
            std::fill(suffix_ + writtenEnd_, suffix_ + kTableSize, 0);
            writtenEnd_ = kTableSize;
        }
        if (!stringOut_) return;
        for (int c = clear_ + 2; c < kTableSize; ++c) {
            // Entries made by the walk, or while draining, have no string but a suffix of their own.
            if (len_[c] == kNoString) continue;
            suffix_[c] = stringOut_[pos_[c] + len_[c] - 1];
        }
        stringOut_ = nullptr;
    }

    // The next string into string_ (n indices from stringStart_), for a code already read.
    LzwResult SlowString(int code, int& n) {
        if (code == clear_) {
            Reset();
            do {
                if (!GetCode(code)) return LzwResult::DataEnded;
            } while (code == clear_);
            if (code != end_) {
                StartString(code);
                stringStart_ = kStringCapacity - 1;
                string_[stringStart_] = first_;
                n = 1;
                return LzwResult::Filled;
            }
        }
        if (code == end_) {
            endCodeSeen_ = true;
            nextBlock_ = data_.BlockCount();  // the rest of the image's blocks is passed over
            return LzwResult::EndOrDamaged;
        }
        return Expand(code, n);
    }

    // The previous string followed by first becomes the next table entry, while there is room.
    void AddEntry(uint8_t first) {
        if (nextFree_ >= kTableSize) return;
        suffix_[nextFree_] = first;
        len_[nextFree_] = kNoString;
        prefix_[nextFree_] = static_cast<uint16_t>(prev_);
        ++nextFree_;
        if (nextFree_ >= codeLimit_ && codeLimit_ < kTableSize) {
            codeLimit_ *= 2;
            ++codeSize_;
        }
    }

    uint16_t Prefix(int code) const { return prefix_[code]; }

    LzwResult Expand(int code, int& n) {
        const int incoming = code;
        int p = kStringCapacity;
        if (code >= nextFree_) {
            // A code not yet in the table: the previous string followed by its own first index.
            if (code > nextFree_) {
                LearnSuffixes();
                wellFormed_ = false;
            }
            string_[--p] = first_;
            code = prev_;
        }
        if (code >= clear_) LearnSuffixes();
        while (code >= clear_) {
            // Minimum code sizes of 12 and up put codes beyond the table; they are damaged data.
            if (code >= kTableSize) return LzwResult::EndOrDamaged;
            string_[--p] = suffix_[code];
            if (kStringCapacity - p > kTableSize - 1) return LzwResult::EndOrDamaged;
            if (Prefix(code) == code) return LzwResult::EndOrDamaged;
            code = Prefix(code);
        }
        first_ = Literal(code);
        string_[--p] = first_;
        AddEntry(first_);
        prev_ = incoming;
        stringStart_ = p;
        n = kStringCapacity - p;
        return LzwResult::Filled;
    }

    const BlockData& data_;
    const uint8_t* bytes_;
    size_t nextBlock_ = 0;
    size_t fetchedBits_ = 0;
    size_t bitpos_ = 0;
    const int minCodeSize_;
    const int clear_;
    const int end_;
    const int seeThroughCode_;
    int codeSize_ = 0;
    int codeLimit_ = 0;
    int nextFree_ = 0;
    int prev_ = 0;
    // Entries from here on have not been written by this decoder (they may hold an earlier one's).
    int writtenEnd_ = 0;
    uint8_t first_ = 0;  // first index of the previous string
    // Every code since the last clear named a known string or the next free one, so the lengths
    // and places the entries keep are exact and the fast path may use them.
    bool wellFormed_ = true;
    bool endCodeSeen_ = false;
    // While set, the entries of the fast path have no suffix yet; their strings lie here.
    const uint8_t* stringOut_ = nullptr;
    int stringStart_ = kStringCapacity;
    alignas(16) uint8_t heads_[kTableSize][16];
    // Per entry: the length of its string (in a small table of its own, so that the chain of
    // output positions waits on the fastest cache), where the string lies in the output, and the
    // entry's prefix code.
    uint16_t len_[kTableSize];
    uint32_t pos_[kTableSize];
    uint16_t prefix_[kTableSize];
    uint8_t suffix_[kTableSize];
    uint8_t string_[kStringCapacity];
};

// Room for one LzwDecoder, about 100 KB with its tables, kept by each thread from one image to the
// next: taken afresh for every image (and every frame of an animation), the memory went back to
// the C library and often on to the system, and faulting its pages in again cost more than
// decoding a small image. A decoder reads no entry of its tables before writing it, so what an
// earlier one left there is never seen. A decoding started while the thread's room is taken (a
// progress handler that loads another picture) gets room of its own.
class DecoderRoom {
public:
    DecoderRoom() {
        if (!taken_) {
            if (!kept_) kept_.reset(new Room);
            taken_ = true;
            room_ = kept_.get();
        } else {
            own_.reset(new Room);
            room_ = own_.get();
        }
    }
    ~DecoderRoom() {
        if (!own_) taken_ = false;
    }
    DecoderRoom(const DecoderRoom&) = delete;
    DecoderRoom& operator=(const DecoderRoom&) = delete;

    // A decoder made in the room; the one made before is over. The literal entries stay from one
    // decoder to the next of the same minimum code size and see-through code (every frame of an
    // animation, the same picture loaded again).
    LzwDecoder& Make(const BlockData& data, int minCodeSize, int seeThroughCode) {
        static_assert(std::is_trivially_destructible_v<LzwDecoder>);
        const bool literalsReady = room_->minCodeSize == minCodeSize && room_->seeThroughCode == seeThroughCode;
        room_->minCodeSize = minCodeSize;
        room_->seeThroughCode = seeThroughCode;
        return *new (room_->bytes) LzwDecoder(data, minCodeSize, seeThroughCode, literalsReady);
    }

private:
    struct Room {
        alignas(LzwDecoder) unsigned char bytes[sizeof(LzwDecoder)];
        // Whose literal entries the tables hold; none yet.
        int minCodeSize = -1;
        int seeThroughCode = -2;
    };
    static thread_local std::unique_ptr<Room> kept_;
    static thread_local bool taken_;
    std::unique_ptr<Room> own_;
    Room* room_ = nullptr;
};
thread_local std::unique_ptr<DecoderRoom::Room> DecoderRoom::kept_;
thread_local bool DecoderRoom::taken_ = false;

}  // namespace

namespace {

// The bits of a byte in reverse order.
struct BitReversal {
    uint8_t of[256];
    constexpr BitReversal() : of{} {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int k = 0; k < 8; ++k) r |= ((i >> k) & 1) << (7 - k);
            of[i] = static_cast<uint8_t>(r);
        }
    }
};
constexpr BitReversal kReversed;

// Mask bits of 16 pixels, the first 8 in the low byte: a bit set where the value is see, the first
// pixel of each 8 in the most significant bit.
uint16_t SeeThrough16(const uint8_t* values, uint8_t see) {
    const Head eq = LoadHead(values) == (Head{} + see);
#if defined(__SSE2__)
    typedef char Chars __attribute__((vector_size(16)));
    const unsigned bits = static_cast<unsigned>(__builtin_ia32_pmovmskb128(Chars(eq)));
#else
    unsigned bits = 0;
    for (int i = 0; i < 16; ++i) bits |= (eq[i] & 1u) << i;
#endif
    return static_cast<uint16_t>(kReversed.of[bits & 0xFF] | kReversed.of[bits >> 8] << 8);
}

// One row of the transparency plane: pixels whose value is see, and every pixel from have on,
// are see-through. values may be read 16 bytes at a time up to the width rounded up to 16.
void BuildMaskRow(uint8_t* mask, const uint8_t* values, uint8_t see, size_t have, size_t width, size_t stride) {
    // The row's last 32-bit word first: the steps below leave its bytes after the width alone.
    std::memset(mask + stride - 4, 0, 4);
    size_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint16_t bits = SeeThrough16(values + x, see);
        mask[x / 8] = static_cast<uint8_t>(bits);
        mask[x / 8 + 1] = static_cast<uint8_t>(bits >> 8);
    }
    if (x < width) {
        // 1 to 15 pixels are left; bits after the last one stay clear.
        const size_t left = width - x;
        const unsigned firstEight = left >= 8 ? 0xFFu : (0xFFu << (8 - left)) & 0xFFu;
        const unsigned nextEight = left > 8 ? (0xFFu << (16 - left)) & 0xFFu : 0u;
        const unsigned bits = SeeThrough16(values + x, see) & (firstEight | nextEight << 8);
        mask[x / 8] = static_cast<uint8_t>(bits);
        if (left > 8) mask[x / 8 + 1] = static_cast<uint8_t>(bits >> 8);
    }
    if (have < width) {
        const size_t used = (width + 7) / 8;
        size_t b = have / 8;
        mask[b] = static_cast<uint8_t>(mask[b] | 0xFF >> (have % 8));
        for (++b; b < used; ++b) mask[b] = 0xFF;
        if (width % 8 != 0) mask[used - 1] = static_cast<uint8_t>(mask[used - 1] & 0xFF << (8 - width % 8));
    }
}

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
    // With codes wider than 9 bits a literal may be 256 or more; whether it is the see-through
    // index is found by decoding once more with every literal marked 1 when it is.
    std::unique_ptr<uint8_t[]> marks;
    const int minCodeSize = stream.ReadByte();
    if (minCodeSize > 15) {
        // Code sizes above 15 cannot be decoded at all: the image stays at index 0, fully covered.
        std::memset(frame.Pixels.get(), 0, stride * static_cast<size_t>(frame.Height));
        if (frame.Transparent) std::memset(frame.MaskBits.get(), 0, frame.MaskStride() * frame.Height);
        return;
    }
    if (minCodeSize >= 0) {
        const BlockData data(stream);
        if (!direct) scratch.reset(new uint8_t[total + kSlack]);
        uint8_t* out = direct ? frame.Pixels.get() : scratch.get();
        DecoderRoom room;
        LzwDecoder& lzw = room.Make(data, minCodeSize, -1);
        RowTicker ticker(frame, progress, stream);
        LzwResult result = lzw.Decode(out, total, placed, ticker);
        // Read on to the end of this image's data so that the stream stands after it; an end code
        // has already passed over the rest.
        if (result == LzwResult::Filled || (result == LzwResult::EndOrDamaged && !lzw.EndCodeSeen()))
            result = lzw.Drain();
        if (result == LzwResult::EndOrDamaged && !lzw.EndCodeSeen() && lzw.BlocksFetched() > 0) {
            // Damaged data: reading goes on after the last block the decoder took.
            stream.Seek(data.PositionAfter(lzw.BlocksFetched()));
        } else {
            stream.Seek(data.FinalPosition());
        }
        if (frame.Transparent && minCodeSize > 8 && placed > 0) {
            marks.reset(new uint8_t[total + kSlack]);
            static const ProgressHook kQuiet;
            RowTicker quiet(frame, kQuiet, stream);
            size_t marked = 0;
            room.Make(data, minCodeSize, frame.TransparentIndex).Decode(marks.get(), total, marked, quiet);
        }
    }

    // Deal the placed pixels out to their rows and mark the see-through ones; pixels never placed
    // get index 0 and, in a transparent image, are see-through.
    RowWalk walk(frame.Height, frame.Interlaced);
    const size_t maskStride = frame.MaskStride();
    for (size_t start = 0; !walk.Done(); start += width, walk.Advance()) {
        uint8_t* row = frame.Pixels.get() + static_cast<size_t>(walk.Row()) * stride;
        const size_t have = start < placed ? std::min(width, placed - start) : 0;
        if (have == width) {
            if (!direct) {
                // The padding after the row's last pixel first; the pixels then cover the rest.
                std::memset(row + stride - 4, 0, 4);
                std::memcpy(row, scratch.get() + start, width);
            }
        } else {
            if (!direct && have > 0) std::memcpy(row, scratch.get() + start, have);
            std::memset(row + have, 0, stride - have);
        }
        if (!frame.Transparent) continue;
        uint8_t* maskRow = frame.MaskBits.get() + static_cast<size_t>(walk.Row()) * maskStride;
        // The values are read from where decoding put them, not from the row copied just now:
        // reading back freshly stored bytes in other-sized pieces stalls on the stores.
        if (marks) {
            BuildMaskRow(maskRow, marks.get() + start, 1, have, width, maskStride);
        } else {
            BuildMaskRow(maskRow, scratch ? scratch.get() + start : row, frame.TransparentIndex, have, width,
                         maskStride);
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
    // Decoding writes every byte of both planes; the pixel plane has room for the last block store
    // and whole-word reads.
    frame.Pixels.reset(new uint8_t[frame.PixelStride() * frame.Height + kSlack]);
    if (frame.Transparent) frame.MaskBits.reset(new uint8_t[frame.MaskStride() * frame.Height]);
    DecodeImage(frame, stream, progress);
    return true;
}

}  // namespace gif_core
