// SPDX-License-Identifier: GPL-3.0-or-later
#include "Unit3.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "IniFile.h"

namespace Unit3 {

std::string Locator;
int32_t AZ_COM_NR = 0;
int32_t EL_COM_NR = 0;
int32_t AZoffset = 0;
int32_t ELoffset = 0;
std::string AZtype;
std::string ELtype;
int32_t TrackInterval = 0;
std::string ExecutablePath;

namespace {

constexpr char kInstalledPrefix[] = "/usr/";

// Whether a file can be created in folder: tried for real, because permission bits alone do not
// tell (root, read-only mounts).
bool CanCreateFileIn(const std::filesystem::path& folder) {
    std::string probe = (folder.empty() ? std::filesystem::path(".") : folder).string() + "/.lunark-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace

std::string SettingsFileFor(const std::string& executablePath) {
    const auto nameStart = executablePath.find_last_of('/');
    const auto dot = executablePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".ini";
}

std::string RunningExecutablePath(const std::string& invokedAs) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error || self.empty() ? invokedAs : self.string();
}

std::string SettingsExecutablePath(const std::string& realExecutablePath) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::path(realExecutablePath).parent_path();
    // A copy installed under /usr (or /usr/local) never keeps settings beside itself, not even when
    // root could write there: the system's folders are not the station's settings.
    const bool installed = realExecutablePath.starts_with(kInstalledPrefix);
    if (!installed && (fs::exists(SettingsFileFor(realExecutablePath), error) || CanCreateFileIn(folder))) {
        return realExecutablePath;
    }
    fs::path configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        configHome = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        configHome = fs::path(home) / ".config";
    } else if (const passwd* user = ::getpwuid(::getuid());
               user != nullptr && user->pw_dir != nullptr && *user->pw_dir == '/') {
        configHome = fs::path(user->pw_dir) / ".config";
    } else {
        return realExecutablePath;  // nowhere better: the write will report the failure
    }
    const fs::path folderForUser = configHome / "lunark";
    fs::create_directories(folderForUser, error);
    return (folderForUser / fs::path(realExecutablePath).filename()).string();
}

std::vector<std::string> KeyNames() {
    return {"Locator",  "Top",      "Left",   "AZ_COM_NR", "EL_COM_NR",
            "AZoffset", "ELoffset", "AZtype", "ELtype",    "TrackInterval"};
}

StoredPosition LoadSettings(const std::string& executablePath) {
    const TIniFile ini(SettingsFileFor(executablePath));
    StoredPosition position{};
    Locator = ini.ReadString(kSection, "Locator", kDefaultLocator);
    position.Top = ini.ReadInteger(kSection, "Top", kDefaultTop);
    position.Left = ini.ReadInteger(kSection, "Left", kDefaultLeft);
    AZ_COM_NR = ini.ReadInteger(kSection, "AZ_COM_NR", kDefaultAzComNr);
    EL_COM_NR = ini.ReadInteger(kSection, "EL_COM_NR", kDefaultElComNr);
    AZoffset = ini.ReadInteger(kSection, "AZoffset", kDefaultOffset);
    ELoffset = ini.ReadInteger(kSection, "ELoffset", kDefaultOffset);
    AZtype = ini.ReadString(kSection, "AZtype", kDefaultAzType);
    ELtype = ini.ReadString(kSection, "ELtype", kDefaultElType);
    TrackInterval = ini.ReadInteger(kSection, "TrackInterval", kDefaultTrackInterval);
    return position;
}

void SaveSettings(const std::string& executablePath, int32_t Top, int32_t Left) {
    TIniFile ini(SettingsFileFor(executablePath));
    // One save is one change of the file: another process saving at the same time waits for it.
    ini.LockForUpdate();
    ini.WriteString(kSection, "Locator", Locator);
    ini.WriteInteger(kSection, "Top", Top);
    ini.WriteInteger(kSection, "Left", Left);
    ini.WriteInteger(kSection, "AZ_COM_NR", AZ_COM_NR);
    ini.WriteInteger(kSection, "EL_COM_NR", EL_COM_NR);
    ini.WriteInteger(kSection, "AZoffset", AZoffset);
    ini.WriteInteger(kSection, "ELoffset", ELoffset);
    ini.WriteString(kSection, "AZtype", AZtype);
    ini.WriteString(kSection, "ELtype", ELtype);
    ini.WriteInteger(kSection, "TrackInterval", TrackInterval);
}

}  // namespace Unit3
