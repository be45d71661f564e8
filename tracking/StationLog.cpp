// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace StationLog {

namespace {

namespace fs = std::filesystem;

constexpr char kStateFolder[] = "lunark";

std::string& CurrentPath() {
    static std::string path;
    return path;
}

std::string& CurrentProblem() {
    static std::string problem;
    return problem;
}

bool Fail(const std::string& what, int error) {
    if (CurrentProblem().empty()) CurrentProblem() = what + ": " + std::strerror(error);
    return false;
}

bool WriteWhole(int fd, std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
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

void SetPath(std::string path) {
    CurrentProblem().clear();
    CurrentPath() = std::move(path);
    if (CurrentPath().empty()) return;
    const fs::path folder = fs::path(CurrentPath()).parent_path();
    std::error_code error;
    if (!folder.empty()) fs::create_directories(folder, error);
    if (error) Fail(folder.string(), error.value());
}

const std::string& Path() { return CurrentPath(); }

const std::string& Problem() { return CurrentProblem(); }

bool Append(std::string_view line) {
    const std::string& path = CurrentPath();
    if (path.empty()) return true;
    std::string text(line);
    text += '\n';

    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(path, errno);
    struct stat status {};
    if (::fstat(fd, &status) == 0 && status.st_size > 0 &&
        static_cast<std::uintmax_t>(status.st_size) + text.size() > kCapBytes) {
        ::close(fd);
        const std::string rotated = path + kRotatedSuffix;
        if (::rename(path.c_str(), rotated.c_str()) != 0) return Fail(rotated, errno);
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return Fail(path, errno);
    }
    const bool written = WriteWhole(fd, text);
    const int writeError = errno;
    if (::close(fd) != 0 && written) return Fail(path, errno);
    if (!written) return Fail(path, writeError == 0 ? EIO : writeError);
    return true;
}

}  // namespace StationLog
