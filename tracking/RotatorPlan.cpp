// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotatorPlan.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "Position.h"

namespace RotatorPlan {

namespace {

using namespace std::chrono;
using RotatorSettings::BelowHorizon;

constexpr int32_t kTurn = 360;
constexpr char kGs232a[] = "YAESU GS-232A 9600bd";
constexpr char kHamlib[] = "Hamlib";
constexpr int kMsPerMinute = 60000;
constexpr int kMsPerSecond = 1000;
// Below the horizon the next rise is looked for in coarse steps, then to the minute.
constexpr minutes kRiseSearchStep{10};

// The change of azimuth from one sample to the next, the short way round: (-180, 180].
long double AzimuthStep(long double from, long double to) {
    long double step = std::fmod(to - from, 360.0L);
    if (step > 180.0L) step -= 360.0L;
    if (step <= -180.0L) step += 360.0L;
    return step;
}

// An azimuth in whole degrees brought into 0-359 by whole turns.
int32_t WithinOneTurn(int64_t azimuth) {
    const int64_t value = azimuth % kTurn;
    return static_cast<int32_t>(value < 0 ? value + kTurn : value);
}

bool Inside(long double azimuth, int32_t range) { return azimuth >= 0.0L && azimuth <= range; }

int32_t Clamp(int32_t value, const RotatorSettings::ElevationRange& range) {
    if (value < range.minimum) return range.minimum;
    if (range.maximum && value > *range.maximum) return *range.maximum;
    return value;
}

}  // namespace

int32_t Pass::RotatorAzimuth(int32_t azimuth, Location::Instant at, int32_t range) const {
    const auto index = std::clamp<int64_t>(duration_cast<minutes>(at - start) / kPassStep, 0,
                                           static_cast<int64_t>(track.size()) - 1);
    const long double predicted = track.empty() ? 0.0L : track[static_cast<std::size_t>(index)];
    const long double turns = std::nearbyint((predicted - azimuth) / kTurn);
    const int64_t nearest = azimuth + static_cast<int64_t>(turns) * kTurn;
    if (nearest >= 0 && nearest <= range) return static_cast<int32_t>(nearest);
    // Off the side chosen for this pass: the rotator has swung round, or is about to.
    return WithinOneTurn(nearest);
}

Pass PlanPass(const Sky& sky, Location::Instant start, int32_t azimuthOffset, int32_t range) {
    Pass pass;
    pass.start = start;
    std::vector<long double> unwound;
    long double previous = 0.0L;
    for (Location::Instant at = start; at <= start + kLongestPass; at += kPassStep) {
        const Horizontal position = sky(at);
        if (!unwound.empty() && position.elevation < 0.0L) break;
        const long double azimuth = position.azimuth + azimuthOffset;
        if (unwound.empty()) {
            long double first = std::fmod(azimuth, 360.0L);
            if (first < 0.0L) first += 360.0L;
            unwound.push_back(first);
        } else {
            unwound.push_back(unwound.back() + AzimuthStep(previous, azimuth));
        }
        previous = azimuth;
        pass.end = at;
    }

    // The pass starts in [0, 360); the rotator can take it there or one turn up.
    constexpr std::array<int32_t, 2> kShifts{0, kTurn};
    std::size_t bestInside = 0;
    for (const int32_t shift : kShifts) {
        const auto inside = static_cast<std::size_t>(std::count_if(
            unwound.begin(), unwound.end(), [&](long double azimuth) { return Inside(azimuth + shift, range); }));
        if (inside > bestInside) {
            bestInside = inside;
            pass.shift = shift;
        }
    }
    pass.track.reserve(unwound.size());
    for (const long double azimuth : unwound) pass.track.push_back(azimuth + pass.shift);
    pass.wholePass = bestInside == unwound.size();
    for (std::size_t i = 1; i < pass.track.size(); ++i) {
        if (Inside(pass.track[i], range) != Inside(pass.track[i - 1], range)) {
            pass.unwind = start + static_cast<int64_t>(i) * kPassStep;
            break;
        }
    }
    return pass;
}

std::optional<Location::Instant> NextRise(const Sky& sky, Location::Instant from) {
    const Location::Instant from_minute = floor<minutes>(from);
    for (Location::Instant at = from_minute; at <= from_minute + kLongestWait; at += kRiseSearchStep) {
        if (sky(at).elevation < 0.0L) continue;
        // Risen within the last coarse step: find the minute.
        Location::Instant rise = std::max(from_minute, at - kRiseSearchStep);
        while (rise < at && sky(rise).elevation < 0.0L) rise += kPassStep;
        return rise;
    }
    return std::nullopt;
}

bool TakesAzimuthAbove359(std::string_view protocolName) {
    return protocolName == kGs232a || protocolName == kHamlib;
}

int32_t AzimuthForProtocol(int32_t azimuth, std::string_view protocolName, int32_t range) {
    if (range <= RotatorSettings::kStopAtNorth || TakesAzimuthAbove359(protocolName)) return azimuth;
    return WithinOneTurn(azimuth);
}

const Pass& Aim::PassFrom(Location::Instant start, int32_t azimuthOffset, int32_t range) {
    pass_ = PlanPass(sky_, start, azimuthOffset, range);
    passOffset_ = azimuthOffset;
    passRange_ = range;
    return *pass_;
}

Protocols::Targets Aim::TargetsAt(Location::Instant now, Horizontal target, int32_t azimuthOffset,
                                  int32_t elevationOffset, const RotatorSettings::Settings& settings) {
    const int32_t range = settings.azimuthRange;
    const bool overlap = range > RotatorSettings::kStopAtNorth;
    const int32_t azimuth = Position::RoundDegrees(target.azimuth);
    Protocols::Targets targets{Position::AzimuthTarget(azimuth, azimuthOffset),
                               Clamp(Position::ElevationTarget(Position::RoundDegrees(target.elevation),
                                                               elevationOffset),
                                     settings.elevation)};

    const bool settingsChanged = pass_ && (passOffset_ != azimuthOffset || passRange_ != range);
    if (settingsChanged) pass_.reset();

    if (target.elevation >= 0.0L) {
        if (!overlap) return targets;
        // The last sample of a pass lies up to a step before the target sets.
        if (!pass_ || now < pass_->start || now > pass_->end + kPassStep) PassFrom(now, azimuthOffset, range);
        targets.azimuth = pass_->RotatorAzimuth(azimuth + azimuthOffset, now, range);
        return targets;
    }

    switch (settings.belowHorizon.policy) {
        case BelowHorizon::kFollow:
            pass_.reset();
            break;
        case BelowHorizon::kPark:
            pass_.reset();
            targets.azimuth = settings.belowHorizon.parkAzimuth <= range
                                  ? settings.belowHorizon.parkAzimuth
                                  : WithinOneTurn(settings.belowHorizon.parkAzimuth);
            targets.elevation = Clamp(settings.belowHorizon.parkElevation, settings.elevation);
            break;
        case BelowHorizon::kWait: {
            if (!pass_ || pass_->start <= now) {
                pass_.reset();
                const std::optional<Location::Instant> rise = NextRise(sky_, now);
                if (!rise) break;  // the target stays down for a month: follow it
                PassFrom(*rise, azimuthOffset, overlap ? range : kTurn);
            }
            // Where it rises, as the rotator reads it at north (offset added), whatever the side.
            const long double rising = pass_->track.empty() ? 0.0L : pass_->track.front() - pass_->shift;
            const int32_t risingAzimuth = Position::AzimuthTarget(Position::RoundDegrees(rising), 0);
            targets.azimuth = overlap ? pass_->RotatorAzimuth(risingAzimuth, pass_->start, range)
                                      : risingAzimuth;
            targets.elevation = settings.elevation.minimum;
            break;
        }
    }
    return targets;
}

void Aim::Restart() { pass_.reset(); }

bool Deadband::Due(Protocols::Axis axis, const Protocols::Targets& targets, bool carriesAzimuth,
                   int32_t deadband) const {
    if (deadband <= 0) return true;
    const bool isAzimuth = axis == Protocols::Axis::kAzimuth;
    const Last& last = isAzimuth ? azimuthAxis_ : elevationAxis_;
    const auto moved = [deadband](const std::optional<int32_t>& sent, int32_t now) {
        return !sent || std::llabs(static_cast<long long>(now) - *sent) >= deadband;
    };
    if (isAzimuth) return moved(last.azimuth, targets.azimuth);
    return moved(last.elevation, targets.elevation) || (carriesAzimuth && moved(last.azimuth, targets.azimuth));
}

void Deadband::Sent(Protocols::Axis axis, const Protocols::Targets& targets, bool carriesAzimuth) {
    if (axis == Protocols::Axis::kAzimuth) {
        azimuthAxis_.azimuth = targets.azimuth;
        return;
    }
    elevationAxis_.elevation = targets.elevation;
    if (carriesAzimuth) {
        // The combined command turned the azimuth too: it counts as a send of both axes.
        elevationAxis_.azimuth = targets.azimuth;
        azimuthAxis_.azimuth = targets.azimuth;
    }
}

void Deadband::Forget() {
    azimuthAxis_ = {};
    elevationAxis_ = {};
}

int TickMilliseconds(int32_t trackIntervalMinutes, int32_t intervalSeconds) {
    if (intervalSeconds > 0) return std::min(intervalSeconds, INT_MAX / kMsPerSecond) * kMsPerSecond;
    constexpr int32_t kLongest = INT_MAX / kMsPerMinute;
    if (trackIntervalMinutes <= 0) return 0;
    return std::min(trackIntervalMinutes, kLongest) * kMsPerMinute;
}

}  // namespace RotatorPlan
