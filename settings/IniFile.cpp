// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "IntegerText.h"
#include "LockedFile.h"
#include "TextEncoding.h"

namespace {

// One line of the file as it stands, with its line break (empty for a last line without one).
struct Line {
    std::string_view text;
    std::string_view lineBreak;
};

// Lines end in CR LF, LF or a lone CR (old Macintosh editors), each line keeping its own.
std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({content.substr(start), {}});
            break;
        }
        const std::size_t breakSize = content.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back({content.substr(start, end - start), content.substr(end, breakSize)});
        start = end + breakSize;
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
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
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

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool InMatchingQuotes(std::string_view value) {
    return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

// The value of a key line as the profile rules give it: one pair of matching quotes, double or
// single, around the whole value is dropped.
std::string_view Unquoted(std::string_view value) {
    return InMatchingQuotes(value) ? value.substr(1, value.size() - 2) : value;
}

// A value as it goes into a key line: it may not break the file's line structure, and a value that
// is itself in quotes gets one more pair, so that reading it back gives it whole.
std::string LineValue(std::string_view value) {
    std::string text(value);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return InMatchingQuotes(text) ? '"' + text + '"' : text;
}

// The file's text with one key set, every other byte as it was.
std::string WithKey(std::string_view content, std::string_view section, std::string_view key, std::string_view value) {
    const auto lines = SplitLines(content);
    const std::string_view lineBreak =
        (!lines.empty() && !lines.front().lineBreak.empty()) ? lines.front().lineBreak : std::string_view("\n");
    std::string keyLine(key);
    keyLine += '=';
    keyLine += value;
    const auto place = FindKey(lines, section, key);

    std::string updated;
    updated.reserve(content.size() + keyLine.size() + section.size() + 8);
    if (!place.sectionFound) {
        updated = content;
        if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r') updated += lineBreak;
        updated += '[';
        updated += section;
        updated += ']';
        updated += lineBreak;
        updated += keyLine;
        updated += lineBreak;
        return updated;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (place.keyLine && i == *place.keyLine) {
            updated += keyLine;
            updated += lines[i].lineBreak;
            continue;
        }
        updated += lines[i].text;
        updated += lines[i].lineBreak;
        if (!place.keyLine && i == place.insertAfter) {
            if (lines[i].lineBreak.empty()) updated += lineBreak;
            updated += keyLine;
            updated += lineBreak;
        }
    }
    return updated;
}

std::string Lowered(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

// Where a value is found: section and key names in letter case folded, in the file's own text.
std::string LookupName(std::string_view section, std::string_view key) {
    return Lowered(section) + '\n' + Lowered(key);  // no name holds a line break
}

// A file's values as reading finds them, worked out once and kept while the file stays the same:
// a program reads dozens of keys per update, and a large file would otherwise be taken apart
// whole for each.
struct ReadFile {
    struct stat identity {};  // device, inode, size and times when it was read
    std::chrono::system_clock::time_point readAt;
    std::string bytes;
    text_encoding::Form form = text_encoding::Form::Plain;
    std::unordered_map<std::string, std::string> values;  // by LookupName; Windows-1252, cut
};

// File times are stamped from a clock that moves in steps (a few milliseconds; seconds on some file
// systems), so a write just after a read can leave every one of them as it was. A file whose
// times lie that close to its read is read again and compared byte for byte; once its last
// change is settled (two seconds unless handed in) older than the read, its times alone tell.
std::atomic<std::chrono::milliseconds::rep> settledMilliseconds{2000};

std::chrono::system_clock::time_point TimeOf(const struct timespec& stamp) {
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
}

bool Settled(const ReadFile& file) {
    const auto changed = std::max(TimeOf(file.identity.st_mtim), TimeOf(file.identity.st_ctim));
    return changed + std::chrono::milliseconds(settledMilliseconds.load()) < file.readAt;
}

bool SameContent(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Every value of the file, the first matching section and the first matching key in it winning.
ReadFile Parse(std::string bytes, const struct stat& identity, std::chrono::system_clock::time_point readAt) {
    ReadFile file;
    file.identity = identity;
    file.readAt = readAt;
    file.bytes = std::move(bytes);
    const text_encoding::DecodedText decoded = text_encoding::Decode(file.bytes);
    file.form = decoded.form;
    std::unordered_map<std::string, bool> sectionsSeen;
    std::optional<std::string> section;  // the section whose keys count, if any
    for (const Line& line : SplitLines(decoded.text)) {
        if (const auto name = SectionName(line.text)) {
            const bool first = sectionsSeen.emplace(Lowered(*name), true).second;
            section = first ? std::optional(Lowered(*name)) : std::nullopt;
            continue;
        }
        const auto kv = KeyValue(line.text);
        if (!section || !kv) continue;
        const std::string value = text_encoding::ToWin1252(Unquoted(kv->second), decoded.form);
        file.values.emplace(LookupName(*section, kv->first), value.substr(0, TIniFile::kMaxValueLength));
    }
    return file;
}

std::mutex& CacheLock() {
    static std::mutex lock;
    return lock;
}

// The files read lately, by path; a program reads one or two.
std::map<std::string, ReadFile>& Cache() {
    static std::map<std::string, ReadFile> cache;
    return cache;
}
constexpr std::size_t kFilesKept = 4;

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

void TIniFile::SetSettleTime(std::chrono::milliseconds settle) {
    settledMilliseconds.store(settle.count());
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    // The file's identity and the time are taken before it is read: should it change in between,
    // the next read sees another identity, or a time too close to tell, and reads it again.
    const auto readAt = std::chrono::system_clock::now();
    struct stat identity {};
    if (::stat(fileName_.c_str(), &identity) != 0 || !S_ISREG(identity.st_mode)) return std::string(defaultValue);
    const std::lock_guard lock(CacheLock());
    auto known = Cache().find(fileName_);
    const bool same = known != Cache().end() && SameContent(known->second.identity, identity);
    if (!same || !Settled(known->second)) {
        std::string bytes;
        if (ReadRegularFile(fileName_, bytes) != FileReadResult::Ok) return std::string(defaultValue);
        if (same && bytes == known->second.bytes) {
            known->second.readAt = readAt;
        } else {
            if (known == Cache().end() && Cache().size() >= kFilesKept) Cache().clear();
            known = Cache().insert_or_assign(fileName_, Parse(std::move(bytes), identity, readAt)).first;
        }
    }
    const ReadFile& file = known->second;
    const auto value = file.values.find(
        LookupName(text_encoding::FromWin1252(section, file.form), text_encoding::FromWin1252(key, file.form)));
    return value == file.values.end() ? std::string(defaultValue) : value->second;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    return integer_text::TryReadSettingsInteger(ReadString(section, key, "")).value_or(defaultValue);
}

void TIniFile::LockForUpdate() {
    if (!held_.Open(fileName_, true)) throw EIniWriteError("Unable to write to " + fileName_);
}

void TIniFile::Unlock() {
    held_.Close();
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const auto fail = [&] { throw EIniWriteError("Unable to write to " + fileName_); };
    LockedFile ownLock;
    LockedFile& file = held_.IsOpen() ? held_ : ownLock;
    // Normally once; again only when another process created the file after this one found none.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!file.IsOpen() && !file.Open(fileName_)) fail();
        std::string bytes;
        if (!file.ReadAll(bytes)) fail();  // never replace a file we could not read
        text_encoding::DecodedText decoded = text_encoding::Decode(bytes);
        const auto inFile = [&](std::string_view text) { return text_encoding::FromWin1252(text, decoded.form); };
        decoded.text = WithKey(decoded.text, inFile(section), inFile(key), inFile(LineValue(value)));
        switch (file.Write(text_encoding::Encode(decoded))) {
            case LockedFile::WriteResult::Written:
                return;
            case LockedFile::WriteResult::Failed:
                fail();
                break;
            case LockedFile::WriteResult::FileAppeared:
                file.Close();
                break;
        }
    }
    fail();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}
