// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The station's log file: one line per send, failure and settings change, appended as it happens, so
// that a night of unattended tracking can be read the next morning. The file is opened for each line
// and never held open, and it is capped: when a line would take it past kCapBytes, it becomes
// "<name>.1" (replacing the previous one) and a new file starts. When the log is a symbolic link,
// the file it names turns over and the link stays. Each line is written under a lock (flock) on the
// file, so that processes sharing one log turn it over once. A log that cannot be written costs
// nothing but the line: the caller hears of the first failure and carries on; anything but a
// regular file (a FIFO, a device) counts as such a log and is never opened in a way that could
// block. The first line that goes in again starts on a line of its own, after a note of the lines
// lost ("12 lines lost: disk full").
namespace StationLog {

inline constexpr std::uintmax_t kCapBytes = 1024 * 1024;
inline constexpr char kFileName[] = "lunark.log";
inline constexpr char kRotatedSuffix[] = ".1";

// Where the program keeps its log. When the settings file is kept beside the executable
// (settingsExecutablePath is the executable itself), the log goes beside it too; otherwise to
// $XDG_STATE_HOME/lunark/ (an absolute path), else ~/.local/state/lunark/. Empty when neither
// variable names a home.
std::string DefaultPath(const std::string& settingsExecutablePath, const std::string& realExecutablePath);

// One log file: where it is, why it could not be written, and the lines lost since the last one
// that went in. The program makes one at start-up (its journal's); lunark-position makes none.
class LogFile {
public:
    // Starts logging to path (its folder is created when missing); an empty path turns logging off.
    // Forgets an earlier failure.
    void SetPath(std::string path);
    const std::string& Path() const { return path_; }

    // Appends one line (a line end is added). False when it could not be written; then Problem()
    // says why, from the first failure on.
    bool Append(std::string_view line);

    // Why the log could not be written ("/path: Permission denied"), or empty while it works.
    const std::string& Problem() const { return problem_; }

private:
    // Lines that did not reach the file since the last one that did, and why; whether the last of
    // them was cut off in the middle, so that the file does not end with a line break.
    struct Gap {
        std::size_t lines = 0;
        std::string reason;
        bool lineCut = false;
    };

    bool Fail(const std::string& what, const std::string& why);
    bool Fail(const std::string& what, int error);
    bool Lose(const std::string& what, const std::string& why, const std::string& gapReason, bool lineCut);
    bool Lose(const std::string& what, int error, bool lineCut = false);
    int OpenLocked(const std::string& path, bool& locked);

    std::string path_;
    std::string problem_;
    Gap gap_;
};

}  // namespace StationLog
