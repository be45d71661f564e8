// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace StationLog {

namespace {

namespace fs = std::filesystem;

constexpr char kStateFolder[] = "lunark";

constexpr char kNotAFile[] = "not a regular file";

// Writes all of bytes; the count written so far stays in `written` when it fails (errno says why).
bool WriteWhole(int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a path names, every symbolic link followed; the path itself when it names nothing yet.
std::string FileBehind(const std::string& path) {
    std::error_code error;
    const fs::path file = fs::canonical(path, error);
    return error ? path : file.string();
}

// Waits up to kLockWait for the lock on the log. Other Lunark processes hold it for one line; a
// program that keeps it longer costs this one its rotations, never its tracking.
constexpr auto kLockWait = std::chrono::seconds(2);
bool Lock(int fd) {
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

std::string DefaultPath(const std::string& settingsExecutablePath, const std::string& realExecutablePath) {
    if (!settingsExecutablePath.empty() && settingsExecutablePath == realExecutablePath) {
        return (fs::path(realExecutablePath).parent_path() / kFileName).string();
    }
    fs::path stateHome;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') {
        stateHome = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        stateHome = fs::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return (stateHome / kStateFolder / kFileName).string();
}

bool LogFile::Fail(const std::string& what, const std::string& why) {
    if (problem_.empty()) problem_ = what + ": " + why;
    return false;
}

bool LogFile::Fail(const std::string& what, int error) {
    return Fail(what, std::string(std::strerror(error)));
}

// A line that did not go in, or not whole: the next one that does says how many were lost.
bool LogFile::Lose(const std::string& what, const std::string& why, const std::string& gapReason, bool lineCut) {
    ++gap_.lines;
    gap_.reason = gapReason;
    gap_.lineCut = gap_.lineCut || lineCut;
    return Fail(what, why);
}

bool LogFile::Lose(const std::string& what, int error, bool lineCut) {
    // A file size limit leaves the log without room as much as a full disk does.
    const bool full = error == ENOSPC || error == EDQUOT || error == EFBIG;
    return Lose(what, std::strerror(error), full ? std::string("disk full") : std::strerror(error), lineCut);
}

// The log opened for appending and, when it can be, locked (flock) against other processes
// rotating it. Only a regular file is opened: a FIFO would block the open (and the program's
// start) until something read it, and a device must not be written to. -1, with the problem
// noted, when it cannot be opened.
int LogFile::OpenLocked(const std::string& path, bool& locked) {
    // Another process may rotate the file while this one waits for the lock: then the path names
    // a new file, which is opened in turn.
    for (int attempt = 0; attempt < 100; ++attempt) {
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
            return Lose(path, kNotAFile, kNotAFile, false), -1;
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd < 0) return Lose(path, errno), -1;
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return Lose(path, kNotAFile, kNotAFile, false), -1;
        }
        locked = Lock(fd);
        if (!locked) return fd;
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            return fd;
        ::close(fd);
    }
    return Lose(path, EAGAIN), -1;
}

void LogFile::SetPath(std::string path) {
    problem_.clear();
    gap_ = {};
    path_ = std::move(path);
    if (path_.empty()) return;
    const fs::path folder = fs::path(path_).parent_path();
    std::error_code error;
    if (!folder.empty()) fs::create_directories(folder, error);
    if (error) Fail(folder.string(), error.value());
}

bool LogFile::Append(std::string_view line) {
    const std::string& path = path_;
    if (path.empty()) return true;
    std::string text(line);
    text += '\n';

    Gap& gap = gap_;
    bool locked = false;
    int fd = OpenLocked(path, locked);
    if (fd < 0) return false;
    struct stat status {};
    bool rotated = false;
    if (locked && ::fstat(fd, &status) == 0 && status.st_size > 0 &&
        static_cast<std::uintmax_t>(status.st_size) + text.size() > kCapBytes) {
        // The file itself turns over, not a link to it: the link keeps naming the current log.
        // The lock is held until the new file exists, so no other process turns it over again.
        const std::string file = FileBehind(path);
        const std::string older = file + kRotatedSuffix;
        if (::rename(file.c_str(), older.c_str()) != 0) {
            const int error = errno;
            ::close(fd);
            return Lose(older, error);
        }
        const int newFile =
            ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
        const int error = errno;
        ::close(fd);
        if (newFile < 0) return Lose(path, error);
        fd = newFile;
        rotated = true;
    }
    if (gap.lines > 0) {
        const std::string note =
            std::to_string(gap.lines) + (gap.lines == 1 ? " line" : " lines") + " lost: " + gap.reason + "\n";
        text.insert(0, (gap.lineCut && !rotated ? "\n" : "") + note);
    }
    std::size_t written = 0;
    const bool whole = WriteWhole(fd, text, written);
    const int writeError = errno;
    if (!whole) {
        ::close(fd);
        return Lose(path, writeError == 0 ? EIO : writeError, written > 0);
    }
    gap = {};
    if (::close(fd) != 0) return Fail(path, errno);
    return true;
}

}  // namespace StationLog
