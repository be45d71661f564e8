#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "IntegerText.h"

namespace {

// One line of the file as it stands, with its line break (empty for a last line without one).
struct Line {
    std::string_view text;
    std::string_view lineBreak;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back({content.substr(start), {}});
            break;
        }
        std::size_t textEnd = (end > start && content[end - 1] == '\r') ? end - 1 : end;
        lines.push_back({content.substr(start, textEnd - start), content.substr(textEnd, end + 1 - textEnd)});
        start = end + 1;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return Trim(line.substr(1));
    return Trim(line.substr(1, close - 1));
}

// Key and value of a "key=value" line.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return std::pair{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// Where a key lives in the file: the index of its line, or where it would be added.
struct KeyPlace {
    bool sectionFound = false;
    std::optional<std::size_t> keyLine;
    std::size_t insertAfter = 0;  // last non-blank line of the section (the header at least)
};

KeyPlace FindKey(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    KeyPlace place;
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].text);
        if (name && SameName(*name, section)) break;
    }
    if (i == lines.size()) return place;
    place.sectionFound = true;
    place.insertAfter = i;
    for (++i; i < lines.size(); ++i) {
        if (SectionName(lines[i].text)) break;
        if (!Trim(lines[i].text).empty()) place.insertAfter = i;
        const auto kv = KeyValue(lines[i].text);
        if (kv && SameName(kv->first, key)) {
            place.keyLine = i;
            return place;
        }
    }
    return place;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return ReadResult::Failed;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Replaces the file at path by content in one step: a temporary file in the same folder, flushed
// to disk, then renamed over the original. A symbolic link is followed so that it stays a link.
bool ReplaceFileAtomically(const std::string& path, std::string_view content, std::optional<mode_t> mode) {
    std::error_code error;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, error)) {
        target = std::filesystem::weakly_canonical(target, error);
        if (error) return false;
    }
    std::string temporary = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content) && ::fchmod(fd, mode.value_or(0644) & 07777) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// A value may not break the file's line structure.
std::string OneLine(std::string_view value) {
    std::string text(value);
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    std::string content;
    if (ReadWholeFile(fileName_, content) != ReadResult::Ok) return std::string(defaultValue);
    const auto lines = SplitLines(content);
    const auto place = FindKey(lines, section, key);
    if (!place.keyLine) return std::string(defaultValue);
    const auto value = KeyValue(lines[*place.keyLine].text)->second;
    return std::string(value.substr(0, kMaxValueLength));
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    return integer_text::TryReadSettingsInteger(ReadString(section, key, "")).value_or(defaultValue);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const auto fail = [&] { throw EIniWriteError("Unable to write to " + fileName_); };

    std::string content;
    const ReadResult read = ReadWholeFile(fileName_, content);
    if (read == ReadResult::Failed) fail();  // never replace a file we could not read
    std::optional<mode_t> mode;
    if (read == ReadResult::Ok) {
        struct stat info {};
        if (::stat(fileName_.c_str(), &info) == 0) mode = info.st_mode;
        if (::access(fileName_.c_str(), W_OK) != 0) fail();
    }

    const auto lines = SplitLines(content);
    const std::string_view lineBreak =
        (!lines.empty() && !lines.front().lineBreak.empty()) ? lines.front().lineBreak : std::string_view("\n");
    std::string keyLine(key);
    keyLine += '=';
    keyLine += OneLine(value);
    const auto place = FindKey(lines, section, key);

    std::string updated;
    updated.reserve(content.size() + keyLine.size() + section.size() + 8);
    const auto append = [&](const Line& line) {
        updated += line.text;
        updated += line.lineBreak;
    };
    if (!place.sectionFound) {
        updated = content;
        if (!updated.empty() && updated.back() != '\n') updated += lineBreak;
        updated += '[';
        updated += section;
        updated += ']';
        updated += lineBreak;
        updated += keyLine;
        updated += lineBreak;
    } else {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (place.keyLine && i == *place.keyLine) {
                updated += keyLine;
                updated += lines[i].lineBreak;
                continue;
            }
            append(lines[i]);
            if (!place.keyLine && i == place.insertAfter) {
                if (lines[i].lineBreak.empty()) updated += lineBreak;
                updated += keyLine;
                updated += lineBreak;
            }
        }
    }
    if (!ReplaceFileAtomically(fileName_, updated, mode)) fail();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}
