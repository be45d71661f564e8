// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibTransport.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "IniFile.h"
#include "Messages.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "Unit3.h"

namespace HamlibTransport {

namespace {

using HamlibRotator::Address;
using HamlibRotator::Bearing;
using HamlibRotator::Command;
using HamlibRotator::Result;
using Protocols::Axis;

constexpr char kSection[] = "Hamlib";
constexpr char kCommsError[] = "Comms error - ";

struct AxisKeys {
    const char* model;
    const char* device;
    const char* speed;
};
constexpr AxisKeys kAzimuthKeys{"AzModel", "AzDevice", "AzSpeed"};
constexpr AxisKeys kElevationKeys{"ElModel", "ElDevice", "ElSpeed"};

std::size_t Index(Axis axis) {
    return axis == Axis::kAzimuth ? 0 : 1;
}

// State of the sending thread.
std::optional<Address> rotatorsForRun[2];
std::optional<AxisResult> lastResults[2];
int outstanding = 0;

// Shared with the workers.
std::mutex deliveryMutex;
Delivery installedDelivery;
std::mutex inboxMutex;
std::condition_variable inboxFilled;
std::deque<std::function<void()>> inbox;

void Deliver(std::function<void()> work) {
    {
        // Called under the lock, so that once SetDelivery has replaced a delivery no worker is
        // still inside it (the program's event loop may be gone then).
        const std::lock_guard lock(deliveryMutex);
        if (installedDelivery) {
            installedDelivery(std::move(work));
            return;
        }
    }
    {
        const std::lock_guard lock(inboxMutex);
        inbox.push_back(std::move(work));
    }
    inboxFilled.notify_all();
}

// On the sending thread: one result for one or both axes.
void Report(bool azimuth, bool elevation, const Address& address, const Result& result) {
    if (azimuth) lastResults[0] = AxisResult{address, result};
    if (elevation) lastResults[1] = AxisResult{address, result};
    if (!result.ok) Messages::ShowMessage(CommsError(address));
}

void Post(const Address& address, HamlibRotator::Request request, bool azimuth, bool elevation) {
    ++outstanding;
    HamlibRotator::Rotators().For(address)->Post(request, [=](const Result& result) {
        Deliver([=] {
            --outstanding;
            Report(azimuth, elevation, address, result);
        });
    });
}

std::optional<int> PositiveNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Address> AxisRotator(Axis axis) {
    if (const auto& forRun = rotatorsForRun[Index(axis)]) return forRun;
    const AxisKeys& keys = axis == Axis::kAzimuth ? kAzimuthKeys : kElevationKeys;
    const TIniFile settings(Unit3::SettingsFileFor(Unit3::ExecutablePath));
    const int32_t model = settings.ReadInteger(kSection, keys.model, 0);
    if (model <= 0) return std::nullopt;
    return Address{model, settings.ReadString(kSection, keys.device, ""),
                   std::max(0, settings.ReadInteger(kSection, keys.speed, 0))};
}

void SetAxisRotatorForRun(Axis axis, std::optional<Address> address) {
    rotatorsForRun[Index(axis)] = std::move(address);
}

std::optional<Address> ParseRotator(std::string_view text) {
    const auto firstComma = text.find(',');
    if (firstComma == std::string_view::npos) return std::nullopt;
    const auto model = PositiveNumber(text.substr(0, firstComma));
    std::string_view device = text.substr(firstComma + 1);
    std::optional<int> speed = 0;
    if (const auto secondComma = device.find(','); secondComma != std::string_view::npos) {
        speed = PositiveNumber(device.substr(secondComma + 1));
        device = device.substr(0, secondComma);
    }
    if (!model || !speed || device.empty()) return std::nullopt;
    return Address{*model, std::string(device), *speed};
}

Bearing Target(long double azimuth, long double elevation, int32_t azimuthOffset, int32_t elevationOffset) {
    long double turned = azimuth + azimuthOffset;
    if (turned < 0) turned += 360;  // once only, as for the other controllers
    long double raised = elevation + elevationOffset;
    if (raised < 0) raised = 0;
    return {HamlibRotator::TwoDecimals(static_cast<double>(turned)),
            HamlibRotator::TwoDecimals(static_cast<double>(raised))};
}

std::string CommsError(const Address& address) {
    if (!address.device.empty()) return kCommsError + address.device;
    return kCommsError + std::string("Hamlib") + (address.model > 0 ? " model " + std::to_string(address.model) : "");
}

void Send(bool azimuth, bool elevation) {
    Bearing target = Target(Position::MoonAzimuth, Position::MoonElevation, Unit3::AZoffset, Unit3::ELoffset);
    // An overlap, an elevation range or a policy below the horizon point the rotator elsewhere
    // than the plain position: it goes where they point, in whole degrees.
    if (!RotatorSettings::PointsPlainly(RotatorSettings::Current))
        target = {static_cast<double>(Position::AZtarget), static_cast<double>(Position::ELtarget)};
    const std::optional<Address> azimuthRotator = azimuth ? AxisRotator(Axis::kAzimuth) : std::nullopt;
    const std::optional<Address> elevationRotator = elevation ? AxisRotator(Axis::kElevation) : std::nullopt;
    // An axis set to Hamlib with no rotator chosen fails at once, as an unplugged line does.
    const Address unset{};
    if (azimuth && !azimuthRotator) {
        Report(true, false, unset, {{Command::kSetAzimuth}, false, "no Hamlib rotator chosen", {}, {}});
    }
    if (elevation && !elevationRotator) {
        Report(false, true, unset, {{Command::kSetElevation}, false, "no Hamlib rotator chosen", {}, {}});
    }

    if (azimuthRotator && elevationRotator && azimuthRotator->model == elevationRotator->model &&
        azimuthRotator->device == elevationRotator->device) {
        Post(*azimuthRotator, {Command::kSetPosition, target.azimuth, target.elevation}, true, true);
        return;
    }
    if (azimuthRotator) Post(*azimuthRotator, {Command::kSetAzimuth, target.azimuth, 0}, true, false);
    if (elevationRotator) Post(*elevationRotator, {Command::kSetElevation, 0, target.elevation}, false, true);
}

std::optional<AxisResult> LastResult(Axis axis) {
    return lastResults[Index(axis)];
}

void ForgetResults() {
    lastResults[0].reset();
    lastResults[1].reset();
}

void SetDelivery(Delivery delivery) {
    const std::lock_guard lock(deliveryMutex);
    installedDelivery = std::move(delivery);
}

int RunDelivered(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::deque<std::function<void()>> arrived;
        {
            const std::lock_guard lock(inboxMutex);
            arrived.swap(inbox);
        }
        for (auto& work : arrived) work();
        if (outstanding == 0) return 0;
        std::unique_lock lock(inboxMutex);
        if (!inboxFilled.wait_until(lock, deadline, [] { return !inbox.empty(); })) return outstanding;
    }
}

}  // namespace HamlibTransport
