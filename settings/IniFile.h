// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "LockedFile.h"

// Raised when a value cannot be written: "Unable to write to <path>".
class EIniWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A settings file in the Windows INI format. The object holds only the file's path. Reads take the
// file's values as they were when it was last taken apart, for as long as it keeps its device,
// inode, size and change times (any process's write changes them) and, while those times are too
// recent to tell a change (two seconds), its bytes. Every write goes to the file.
//
// Reading follows the rules Windows programs expect: section and key names match without regard
// to letter case, the first matching section and the first matching key in it win, blanks around
// names and values are ignored, values are cut at 1023 bytes, and a missing or unreadable file
// reads as empty; one pair of matching quotes (double or single) around a value is dropped. Lines
// end in CR LF, LF or a lone CR. A file that starts with a byte-order mark, or UTF-16 without one,
// is read as Unicode text and written back in the same form; its values reach the program in
// Windows-1252 like those of any other file.
//
// A write replaces or adds one key and leaves every other byte of the file as it was; CRLF files
// stay CRLF, LF files stay LF, CR files CR (a new file gets LF). Each write is a read, change and write of the
// whole file under an advisory lock; the new content replaces the file in one step (see
// LockedFile for how, and for the one case that writes in place).
class TIniFile {
public:
    static constexpr std::size_t kMaxValueLength = 1023;

    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // How old a file's last change must be before its times alone tell the next one, for every file
    // of the process: two seconds, more than the time stamp step of any file system. A test that
    // checks the caching hands in a shorter one.
    static void SetSettleTime(std::chrono::milliseconds settle);

    // The key's value, or defaultValue when the file, the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // The key's value as an integer (decimal, "$" or "0x" hexadecimal), or defaultValue when the
    // key is missing or its value is not a valid 32-bit integer.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

    // Write one key, creating the file, the section or the key as needed. Raises EIniWriteError.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);

    // Holds the file's lock from here to Unlock (or the object's end), so that several writes
    // reach the file as one change: other processes wait for the whole of it. A missing file is
    // created empty to be locked (and removed again if nothing is written). Raises EIniWriteError
    // when the path names something other than a regular file, or a file that cannot be read or
    // created.
    void LockForUpdate();
    void Unlock();

private:
    std::string fileName_;
    LockedFile held_;
};
