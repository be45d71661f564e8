#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised when a value cannot be written: "Unable to write to <path>".
class EIniWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A settings file in the Windows INI format. The object holds only the file's path: every read and
// every write goes to the file, nothing is cached.
//
// Reading follows the rules Windows programs expect: section and key names match without regard
// to letter case, the first matching section and the first matching key in it win, blanks around
// names and values are ignored, values are cut at 1023 bytes, and a missing or unreadable file
// reads as empty. A write replaces or adds one key and leaves every other byte of the file as it
// was; CRLF files stay CRLF, LF files stay LF (a new file gets LF). The new content goes to a
// temporary file beside the original that is then renamed over it, so a failure or a crash never
// leaves a truncated file behind.
class TIniFile {
public:
    static constexpr std::size_t kMaxValueLength = 1023;

    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // The key's value, or defaultValue when the file, the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // The key's value as an integer (decimal, "$" or "0x" hexadecimal), or defaultValue when the
    // key is missing or its value is not a valid 32-bit integer.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

    // Write one key, creating the file, the section or the key as needed. Raises EIniWriteError.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);

private:
    std::string fileName_;
};
