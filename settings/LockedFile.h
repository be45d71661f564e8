// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// A settings file on disk, read whole and written whole.
//
// Only regular files are files here: a FIFO, a device or a directory at the path is never opened
// in a way that could block or disturb it (a serial device opened for reading would move its
// modem lines) and counts as a file that cannot be read.

enum class FileReadResult { Ok, Missing, Failed };

// The content of the regular file at path (symbolic links followed).
FileReadResult ReadRegularFile(const std::string& path, std::string& content);

// The settings file held for a change: an exclusive advisory lock (flock) on it from Open to Close
// (or the object's end), so that a read, change and write of one process never interleaves with
// another's. Symbolic links are followed, dangling ones included: a write creates the file the
// link names and the link stays.
//
// A write puts a temporary file beside the file, gives it the file's owner, group and mode, and
// renames it over the file, so a crash or a full disk never leaves half a file. The temporary
// file is locked from its creation and the lock stays with it once it has become the file, so
// other processes waiting for the lock stay out until this one closes. Temporary files of earlier
// writes that were killed ("<name>.save-XXXXXX", not locked by anyone) are removed on the way.
//
// One exception on purpose: when the folder cannot take a temporary file, or the new file cannot
// be given the file's owner and group, but the file itself may be written, the file is rewritten
// in place (the whole content, flushed) rather than the write failing.
class LockedFile {
public:
    enum class WriteResult { Written, Failed, FileAppeared };

    LockedFile() = default;
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Follows the links at path and locks the file there, waiting for any other holder. A missing
    // file is created empty when asked (it reads like a missing one), so that there is something
    // to lock; otherwise the first write creates it. False when the path names something other
    // than a regular file, or a file that cannot be opened or created.
    bool Open(const std::string& path, bool createMissing = false);
    // Releases the lock; a file created empty by Open and never written is removed again.
    void Close();
    bool IsOpen() const { return open_; }
    bool Exists() const { return fd_ >= 0; }

    // The held file's content; false on a read error.
    bool ReadAll(std::string& content) const;

    // Replaces the content. FileAppeared: there was no file at Open, and another process created
    // one since; nothing was written, and the change must be made again on that file's content.
    WriteResult Write(std::string_view content);

private:
    WriteResult WriteInPlace(std::string_view content);

    std::string target_;  // the path with every link followed
    int fd_ = -1;         // the locked file, -1 while there is none
    bool open_ = false;
    bool createdEmpty_ = false;
};
