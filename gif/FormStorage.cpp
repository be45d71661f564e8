// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormStorage.h"

#include <algorithm>
#include <cstring>

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw gif_core::ReadError();
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    count = std::min(count, bytes_.size() - pos_);
    if (count > 0) std::memcpy(buffer, bytes_.data() + pos_, count);
    pos_ += count;
    return count;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return;
    if (pos_ + count > bytes_.size()) bytes_.resize(pos_ + count);
    std::memcpy(bytes_.data() + pos_, buffer, count);
    pos_ += count;
}

void TMemoryStream::Clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    pos_ = 0;
}

void TMemoryStream::LoadFrom(TStream& source) {
    if (&source == this) {
        pos_ = 0;
        return;
    }
    std::vector<uint8_t> copy(source.Size());
    source.Seek(0);
    source.ReadBuffer(copy.data(), copy.size());
    bytes_ = std::move(copy);
    pos_ = 0;
}

void TFormWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& writeData,
                                       bool hasData) {
    if (!hasData) return;
    TMemoryStream stream;
    writeData(stream);
    properties[name] = stream.Bytes();
}

void TFormReader::DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc&, bool) {
    auto it = properties.find(name);
    if (it == properties.end()) return;
    TMemoryStream stream(it->second);
    readData(stream);
}
