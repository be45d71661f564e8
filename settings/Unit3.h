// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's settings: eight values shared by the whole program, kept in an INI file beside the
// executable ("lunark" keeps them in "lunark.ini", section "Lunark"). Texts are Windows-1252 bytes.
namespace Unit3 {

extern std::string Locator;    // observer's Maidenhead locator, e.g. "JO22IC"
extern int32_t AZ_COM_NR;      // n of the azimuth rotator's port COMn
extern int32_t EL_COM_NR;      // n of the elevation rotator's port COMn
extern int32_t AZoffset;       // whole degrees added to the azimuth sent
extern int32_t ELoffset;       // whole degrees added to the elevation sent
extern std::string AZtype;     // azimuth protocol name
extern std::string ELtype;     // elevation protocol name
extern int32_t TrackInterval;  // minutes between sends in continuous tracking

// The path the running program hands to LoadSettings and SaveSettings; set once at start-up.
extern std::string ExecutablePath;

inline constexpr char kSection[] = "Lunark";

// What a missing or unusable value reads as; a first start writes the same values (but for an
// interval of 0, which keeps the tracking timer stopped until the user sets one).
inline constexpr char kDefaultLocator[] = "JO22IC";
inline constexpr int32_t kDefaultTop = 100;
inline constexpr int32_t kDefaultLeft = 100;
inline constexpr int32_t kDefaultAzComNr = 1;
inline constexpr int32_t kDefaultElComNr = 2;
inline constexpr int32_t kDefaultOffset = 0;
inline constexpr char kDefaultAzType[] = "Hy-Gain DCU-1";
inline constexpr char kDefaultElType[] = "Prosistel-D";
inline constexpr int32_t kDefaultTrackInterval = 1;

struct StoredPosition {
    int32_t Top;
    int32_t Left;
};

// The settings file of an executable: its path with the extension (from the last "." of the file
// name) replaced by ".ini", or ".ini" appended when the file name has no ".".
std::string SettingsFileFor(const std::string& executablePath);

// The file of the running program as the system knows it (links resolved), or invokedAs (argv[0])
// when the system cannot tell.
std::string RunningExecutablePath(const std::string& invokedAs);

// The path to hand to LoadSettings and SaveSettings for the executable at realExecutablePath. A
// copy installed under /usr (or /usr/local) always uses "lunark" in the user's configuration
// folder ($XDG_CONFIG_HOME/lunark, else ~/.config/lunark), which is created when missing, even
// when run as root; any other copy uses the executable itself when its folder already holds the
// settings file or can be written to, and the user's configuration folder otherwise.
std::string SettingsExecutablePath(const std::string& realExecutablePath);

// The keys of the [Lunark] section, in the order a save writes them.
std::vector<std::string> KeyNames();

// Fills the eight settings from the file, each missing or unusable value taking its default, and
// returns the stored main window position (100, 100 where missing).
StoredPosition LoadSettings(const std::string& executablePath);

// Writes the ten keys one after the other, holding the file's lock for the whole save; a failed
// write raises EIniWriteError at that key.
void SaveSettings(const std::string& executablePath, int32_t Top, int32_t Left);

}  // namespace Unit3

// The settings module object. It holds no state: its operations are the free routines above, which
// the main window already uses while it is created, before this object exists.
class TDataModule3 {};
