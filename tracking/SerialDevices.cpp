// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialDevices.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace SerialDevices {

namespace fs = std::filesystem;

namespace {

// Where a link leads in the end, or empty when nowhere.
std::string Resolved(const fs::path& path) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? std::string() : target.string();
}

}  // namespace

std::string ByIdFolder() {
    const char* folder = std::getenv("LUNARK_SERIAL_BY_ID_DIR");
    return folder != nullptr && *folder != '\0' ? std::string(folder) : std::string("/dev/serial/by-id");
}

std::string ByPathFolder() {
    return (fs::path(ByIdFolder()).parent_path() / "by-path").string();
}

std::vector<Device> List() {
    std::vector<Device> devices;
    std::error_code error;
    for (fs::directory_iterator entry(ByIdFolder(), error), end; !error && entry != end; entry.increment(error)) {
        const std::string kernel = Resolved(entry->path());
        if (!kernel.empty()) devices.push_back({entry->path().string(), {}, kernel});
    }
    std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) { return a.byId < b.byId; });
    for (fs::directory_iterator entry(ByPathFolder(), error), end; !error && entry != end; entry.increment(error)) {
        const std::string kernel = Resolved(entry->path());
        for (Device& device : devices) {
            if (!kernel.empty() && device.kernel == kernel) device.byPath.push_back(entry->path().string());
        }
    }
    for (Device& device : devices) std::sort(device.byPath.begin(), device.byPath.end());
    return devices;
}

bool Absent(const std::string& path) {
    std::error_code error;
    return !fs::exists(path, error);
}

std::string PortText(const std::string& port, const std::string& device) {
    if (device.empty()) return port + ": no device";
    if (Absent(device)) return port + ": " + device + " (absent)";
    const std::string kernel = Resolved(device);
    return port + ": " + device + (kernel != device ? " (now " + kernel + ")" : std::string());
}

}  // namespace SerialDevices
