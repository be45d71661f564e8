// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small form storage of our own: byte streams and a filer through which a component declares
// the byte-block properties it stores with its window. No Qt in here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ReadError.h"

// A sequence of bytes with a position.
class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes at the position; gives the number read.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes count bytes at the position.
    virtual void Write(const void* buffer, size_t count) = 0;
    virtual size_t Size() const = 0;
    virtual size_t Position() const = 0;
    virtual void Seek(size_t position) = 0;

    // Reads exactly count bytes or throws gif_core::ReadError.
    void ReadBuffer(void* buffer, size_t count);
};

// A stream held in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    size_t Size() const override { return bytes_.size(); }
    size_t Position() const override { return pos_; }
    void Seek(size_t position) override { pos_ = position < bytes_.size() ? position : bytes_.size(); }

    // Empties the stream.
    void Clear();
    // Replaces the contents by a copy of the whole of source (from its first byte) and rewinds.
    void LoadFrom(TStream& source);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    const uint8_t* Data() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
};

// How a component declares its stored byte-block properties. The writer of the form calls the
// write routine of each property that has data; the reader calls the read routine of each stored one.
class TFiler {
public:
    using TStreamProc = std::function<void(TStream&)>;
    virtual ~TFiler() = default;
    virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                      const TStreamProc& writeData, bool hasData) = 0;
};

// Collects the byte-block properties of a component, by name, as their writers produce them.
class TFormWriter : public TFiler {
public:
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc& writeData,
                              bool hasData) override;
    std::map<std::string, std::vector<uint8_t>> properties;
};

// Hands stored byte-block properties, by name, to a component's readers. A property that the
// component declares but that is not stored is left alone.
class TFormReader : public TFiler {
public:
    explicit TFormReader(std::map<std::string, std::vector<uint8_t>> stored) : properties(std::move(stored)) {}
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc& writeData,
                              bool hasData) override;
    std::map<std::string, std::vector<uint8_t>> properties;
};
