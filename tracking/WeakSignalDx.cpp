// SPDX-License-Identifier: GPL-3.0-or-later
#include "WeakSignalDx.h"

namespace WeakSignalDx {

namespace {

std::optional<Report>& Latest() {
    static std::optional<Report> latest;
    return latest;
}

const Report* Fresh(Location::Instant now) {
    const std::optional<Report>& latest = Latest();
    if (!latest || now < latest->at || now - latest->at > kFreshFor) return nullptr;
    return &*latest;
}

}  // namespace

void Set(const Report& report) {
    Latest() = report;
}

void Clear() {
    Latest().reset();
}

std::string FreshGrid(Location::Instant now) {
    const Report* report = Fresh(now);
    // A grid that names no place (a half-typed one) leaves the DX station to the settings.
    if (!report || Location::LocatorFault(report->dxGrid) != std::string::npos) return {};
    return report->dxGrid;
}

std::optional<int32_t> FreshPeriodSeconds(Location::Instant now) {
    const Report* report = Fresh(now);
    if (!report || !report->periodSeconds || *report->periodSeconds == 0 || *report->periodSeconds > 3600) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*report->periodSeconds);
}

std::optional<Location::Instant> TransmittingUntil(Location::Instant now) {
    const Report* report = Fresh(now);
    if (!report || !report->transmitting) return std::nullopt;
    return report->at + kFreshFor;
}

}  // namespace WeakSignalDx
