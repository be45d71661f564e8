// SPDX-License-Identifier: GPL-3.0-or-later
#include "GifTestEncoder.h"

#include <unordered_map>

namespace gif_test {

namespace {

void Put16(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

}  // namespace

std::string PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths) {
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (auto [code, width] : codesAndWidths) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out.push_back(static_cast<char>(acc & 0xFF));
    return out;
}

std::string SubBlocks(const std::string& data, size_t blockSize) {
    std::string out;
    for (size_t i = 0; i < data.size(); i += blockSize) {
        size_t n = std::min(blockSize, data.size() - i);
        out.push_back(static_cast<char>(n));
        out.append(data, i, n);
    }
    out.push_back('\0');
    return out;
}

std::string LzwEncode(const std::vector<uint8_t>& indices, int minCodeSize, bool clearWhenFull) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<std::pair<int, int>> codes;
    // Entries keyed by their prefix code and last index.
    std::unordered_map<uint32_t, int> table;
    table.reserve(8192);
    int width = minCodeSize + 1;
    int next = clear + 2;
    auto reset = [&] {
        table.clear();
        width = minCodeSize + 1;
        next = clear + 2;
    };
    // The decoder learns of each entry one code later than the encoder makes it; widths grow when
    // the entry the decoder will make next no longer fits.
    auto emit = [&](int code) {
        codes.push_back({code, width});
        if (next < 4096) {
            if (next + 1 > (1 << width) && width < 12) ++width;
        }
    };
    codes.push_back({clear, width});
    if (indices.empty()) {
        codes.push_back({end, width});
        return PackCodes(codes);
    }
    int w = indices[0];
    bool full = false;
    for (size_t i = 1; i < indices.size(); ++i) {
        int k = indices[i];
        auto it = table.find(static_cast<uint32_t>(w) << 16 | static_cast<uint32_t>(k));
        if (it != table.end()) {
            w = it->second;
            continue;
        }
        emit(w);
        if (next < 4096) {
            table[static_cast<uint32_t>(w) << 16 | static_cast<uint32_t>(k)] = next++;
        } else if (clearWhenFull) {
            codes.push_back({clear, width});
            reset();
        } else {
            full = true;
        }
        w = k;
    }
    (void)full;
    emit(w);
    codes.push_back({end, width});
    return PackCodes(codes);
}

std::vector<uint8_t> InterlaceRows(const std::vector<uint8_t>& pixels, int width, int height) {
    std::vector<uint8_t> out;
    const int start[4] = {0, 4, 2, 1};
    const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int row = start[pass]; row < height; row += step[pass]) {
            out.insert(out.end(), pixels.begin() + row * width, pixels.begin() + (row + 1) * width);
        }
    }
    return out;
}

GifBuilder& GifBuilder::Header(int width, int height, int globalBits, const std::string& signature) {
    bytes_ = signature;
    Put16(bytes_, width);
    Put16(bytes_, height);
    bytes_.push_back(static_cast<char>(globalBits > 0 ? 0x80 | (globalBits - 1) : 0));
    bytes_.push_back('\0');
    bytes_.push_back('\0');
    for (int i = 0; globalBits > 0 && i < (1 << globalBits); ++i) {
        bytes_.push_back(static_cast<char>(i));
        bytes_.push_back(static_cast<char>(255 - i));
        bytes_.push_back(static_cast<char>(i / 2));
    }
    return *this;
}

GifBuilder& GifBuilder::GraphicControl(int disposal, int delayHundredths, int transparentIndex) {
    bytes_ += "\x21\xF9\x04";
    bytes_.push_back(static_cast<char>((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
    Put16(bytes_, delayHundredths);
    bytes_.push_back(static_cast<char>(transparentIndex >= 0 ? transparentIndex : 0));
    bytes_.push_back('\0');
    return *this;
}

GifBuilder& GifBuilder::Netscape(int loops) {
    bytes_ += "\x21\xFF\x0BNETSCAPE2.0\x03\x01";
    Put16(bytes_, loops);
    bytes_.push_back('\0');
    return *this;
}

GifBuilder& GifBuilder::Image(int left, int top, int width, int height, const std::vector<uint8_t>& pixels,
                              int localBits, bool interlaced, int minCodeSize) {
    bytes_.push_back(',');
    Put16(bytes_, left);
    Put16(bytes_, top);
    Put16(bytes_, width);
    Put16(bytes_, height);
    bytes_.push_back(static_cast<char>((localBits > 0 ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0)));
    for (int i = 0; localBits > 0 && i < (1 << localBits); ++i) {
        bytes_.push_back(static_cast<char>(255 - i));
        bytes_.push_back(static_cast<char>(i));
        bytes_.push_back('\x07');
    }
    bytes_.push_back(static_cast<char>(minCodeSize));
    bytes_ += SubBlocks(LzwEncode(interlaced ? InterlaceRows(pixels, width, height) : pixels, minCodeSize));
    return *this;
}

GifBuilder& GifBuilder::ImageWithData(int left, int top, int width, int height, const std::string& data,
                                      bool interlaced) {
    bytes_.push_back(',');
    Put16(bytes_, left);
    Put16(bytes_, top);
    Put16(bytes_, width);
    Put16(bytes_, height);
    bytes_.push_back(static_cast<char>(interlaced ? 0x40 : 0));
    bytes_ += data;
    return *this;
}

GifBuilder& GifBuilder::BlankImages(int count, int left, int top, int width, int height) {
    for (int i = 0; i < count; ++i) ImageWithData(left, top, width, height, std::string("\x02\x00", 2));
    return *this;
}

GifBuilder& GifBuilder::Raw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
}

GifBuilder& GifBuilder::Trailer() {
    bytes_.push_back(';');
    return *this;
}

}  // namespace gif_test
