// SPDX-License-Identifier: GPL-3.0-or-later
#include "LockedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <optional>
#include <random>

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel allows
constexpr int kMaxAttempts = 100;
constexpr std::string_view kTemporaryMark = ".save-";
constexpr std::size_t kTemporarySuffixLength = 6;
constexpr std::string_view kSuffixCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path with every symbolic link at its end followed, also the last one of a dangling chain;
// nullopt for a loop or a link that cannot be read.
std::optional<std::string> FollowLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) == target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(length));
        const auto slash = path.rfind('/');
        path = (target.front() == '/' || slash == std::string::npos) ? target : path.substr(0, slash + 1) + target;
    }
    return std::nullopt;
}

// Waits for the lock. A file system without advisory locks is written unlocked rather than not
// at all.
void LockWaiting(int fd) {
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

bool ReadFrom(int fd, std::string& content) {
    content.clear();
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

bool WriteAllAt(int fd, std::string_view bytes) {
    for (off_t offset = 0; !bytes.empty();) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool IsTemporaryOf(std::string_view entry, const std::string& fileName) {
    if (entry.size() != fileName.size() + kTemporaryMark.size() + kTemporarySuffixLength) return false;
    if (!entry.starts_with(fileName) || entry.substr(fileName.size(), kTemporaryMark.size()) != kTemporaryMark) {
        return false;
    }
    const std::string_view suffix = entry.substr(entry.size() - kTemporarySuffixLength);
    return std::all_of(suffix.begin(), suffix.end(),
                       [](char c) { return kSuffixCharacters.find(c) != std::string_view::npos; });
}

// Removes the temporary files of fileName's earlier writes that no live process holds: a write
// killed half way leaves a full-size one behind.
void RemoveStaleTemporaries(const std::string& folder, const std::string& fileName) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const int folderFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryOf(entry->d_name, fileName)) continue;
        const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named)) {
            ::unlinkat(folderFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

struct Temporary {
    std::string path;
    int fd = -1;

    void Discard() {
        ::unlink(path.c_str());
        ::close(fd);
        fd = -1;
    }
};

// A new temporary file beside fileName, locked. On failure errno tells why.
std::optional<Temporary> CreateTemporary(const std::string& folder, const std::string& fileName, mode_t mode) {
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kSuffixCharacters.size() - 1);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        Temporary temporary;
        temporary.path = folder + "/" + fileName + std::string(kTemporaryMark);
        for (std::size_t i = 0; i < kTemporarySuffixLength; ++i) temporary.path += kSuffixCharacters[pick(random)];
        temporary.fd = ::open(temporary.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (temporary.fd < 0) {
            if (errno == EEXIST) continue;
            return std::nullopt;
        }
        LockWaiting(temporary.fd);
        // Another process cleaning up may have taken the name away before the lock was ours.
        struct stat opened {
        }, named{};
        if (::fstat(temporary.fd, &opened) == 0 && ::lstat(temporary.path.c_str(), &named) == 0 &&
            SameFile(opened, named)) {
            return temporary;
        }
        ::close(temporary.fd);
    }
    errno = EEXIST;
    return std::nullopt;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that rename: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

FileReadResult ReadRegularFile(const std::string& path, std::string& content) {
    content.clear();
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
    if (!S_ISREG(named.st_mode)) return FileReadResult::Failed;
    // Non-blocking: should the path turn into a FIFO after the check, the open still returns.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
    struct stat opened {};
    const bool ok = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ReadFrom(fd, content);
    ::close(fd);
    return ok ? FileReadResult::Ok : FileReadResult::Failed;
}

LockedFile::~LockedFile() {
    Close();
}

void LockedFile::Close() {
    struct stat held {
    }, named{};
    if (createdEmpty_ && ::fstat(fd_, &held) == 0 && held.st_size == 0 && ::stat(target_.c_str(), &named) == 0 &&
        SameFile(held, named)) {
        ::unlink(target_.c_str());
    }
    createdEmpty_ = false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    open_ = false;
    target_.clear();
}

bool LockedFile::Open(const std::string& path, bool createMissing) {
    Close();
    const std::optional<std::string> target = FollowLinks(path);
    if (!target) return false;
    target_ = *target;
    // Retries after a wait for the lock are not counted: the holder replaces the file with every
    // write, and this process waits for as many as the holder makes.
    for (int attempt = 0; attempt < kMaxAttempts;) {
        struct stat named {
        }, opened{};
        if (::stat(target_.c_str(), &named) != 0) {
            if (errno != ENOENT) return false;
            if (!createMissing) {
                open_ = true;
                return true;
            }
            std::optional<Temporary> empty = CreateTemporary(FolderOf(target_), NameOf(target_), 0666);
            if (!empty) return false;
            if (!RenameWithoutReplacing(empty->path, target_)) {
                const bool appeared = errno == EEXIST;
                empty->Discard();
                if (!appeared) return false;
                ++attempt;  // someone else's file: lock that one
                continue;
            }
            fd_ = empty->fd;  // locked since it was made
            open_ = true;
            createdEmpty_ = true;
            return true;
        }
        if (!S_ISREG(named.st_mode)) return false;
        const int fd = ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENOENT) return false;
            ++attempt;
            continue;
        }
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return false;
        }
        LockWaiting(fd);
        // While this process waited, the holder may have replaced the file: only a lock on the
        // file that is at the path now keeps others out.
        if (::stat(target_.c_str(), &named) == 0 && SameFile(named, opened)) {
            fd_ = fd;
            open_ = true;
            return true;
        }
        ::close(fd);
    }
    return false;
}

bool LockedFile::ReadAll(std::string& content) const {
    content.clear();
    return fd_ < 0 || ReadFrom(fd_, content);
}

LockedFile::WriteResult LockedFile::Write(std::string_view content) {
    const std::string folder = FolderOf(target_);
    const std::string fileName = NameOf(target_);
    const bool exists = fd_ >= 0;
    struct stat old {};
    if (exists) {
        if (::fstat(fd_, &old) != 0) return WriteResult::Failed;
        if (::access(target_.c_str(), W_OK) != 0) return WriteResult::Failed;  // never replace a read-only file
    }

    RemoveStaleTemporaries(folder, fileName);
    // A new file gets the mode the user's umask gives; a replacement is private until it has the
    // mode of the file it replaces.
    std::optional<Temporary> temporary = CreateTemporary(folder, fileName, exists ? 0600 : 0666);
    if (!temporary) {
        const bool folderRefuses = errno == EACCES || errno == EPERM;
        return exists && folderRefuses ? WriteInPlace(content) : WriteResult::Failed;
    }
    if (exists) {
        struct stat made {};
        const bool sameOwner =
            ::fstat(temporary->fd, &made) == 0 && made.st_uid == old.st_uid && made.st_gid == old.st_gid;
        if (!sameOwner && ::fchown(temporary->fd, old.st_uid, old.st_gid) != 0) {
            // Only the owner's own process or root can hand a file to its owner: rewrite it instead
            // of taking it away from its owner.
            temporary->Discard();
            return WriteInPlace(content);
        }
        if (::fchmod(temporary->fd, old.st_mode & 07777) != 0) {
            temporary->Discard();
            return WriteResult::Failed;
        }
    }
    if (!WriteAllAt(temporary->fd, content) || ::fsync(temporary->fd) != 0) {
        temporary->Discard();
        return WriteResult::Failed;
    }
    const bool renamed = exists ? ::rename(temporary->path.c_str(), target_.c_str()) == 0
                                : RenameWithoutReplacing(temporary->path, target_);
    if (!renamed) {
        const bool appeared = !exists && errno == EEXIST;
        temporary->Discard();
        return appeared ? WriteResult::FileAppeared : WriteResult::Failed;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = temporary->fd;  // the file now, locked since it was made
    createdEmpty_ = false;
    SyncFolder(folder);
    return WriteResult::Written;
}

LockedFile::WriteResult LockedFile::WriteInPlace(std::string_view content) {
    const int fd = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return WriteResult::Failed;
    struct stat opened {
    }, held{};
    bool ok = ::fstat(fd, &opened) == 0 && ::fstat(fd_, &held) == 0 && SameFile(opened, held);
    // Reserve the space first, so that a full disk fails before a byte of the file has changed.
    if (ok && !content.empty() && ::fallocate(fd, 0, 0, static_cast<off_t>(content.size())) != 0) {
        ok = errno != ENOSPC && errno != EFBIG && errno != EDQUOT;
    }
    ok = ok && WriteAllAt(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok ? WriteResult::Written : WriteResult::Failed;
}
