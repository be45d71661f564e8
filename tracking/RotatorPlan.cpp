// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotatorPlan.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "Position.h"
#include "horizon_mask.h"

namespace RotatorPlan {

namespace {

using namespace std::chrono;
using RotatorSettings::BelowHorizon;

constexpr int32_t kTurn = 360;
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

bool Inside(long double azimuth, int32_t range) {
    return azimuth >= 0.0L && azimuth <= range;
}

// An elevation, whole degrees or unrounded, held within the elevation range.
template <typename Degrees>
Degrees Clamp(Degrees value, const RotatorSettings::ElevationRange& range) {
    if (value < range.minimum) return static_cast<Degrees>(range.minimum);
    if (range.maximum && value > *range.maximum) return static_cast<Degrees>(*range.maximum);
    return value;
}

// The unrounded azimuth on the turn of the whole degrees it rounds to: on an overlap kept within
// the range (a fraction never carries the rotator past a stop); with the stop at north lifted by
// 360 once when negative, as the plain position is.
long double OnTheSameTurn(int32_t whole, long double fraction, bool overlap, int32_t range) {
    const long double azimuth = whole + fraction;
    if (overlap) return std::clamp<long double>(azimuth, 0.0L, range);
    return azimuth < 0.0L ? azimuth + kTurn : azimuth;
}

// The azimuth a send at `at` commands while following the pass, as Aim::TargetsAt computes it.
int32_t Commanded(const Pass& pass, const Sky& sky, Location::Instant at, int32_t azimuthOffset, int32_t range) {
    return pass.RotatorAzimuth(Position::RoundDegrees(sky(at).azimuth) + azimuthOffset, at, range);
}

// Whether two commands lie on either side of the stop: the rotator swings round between them.
bool Swings(int32_t from, int32_t to) {
    return std::abs(to - from) > kTurn / 2;
}

// The first of the pass's samples whose command lies on the other side of the stop from the one
// before it. The samples are a minute apart from the start, as the ticks of tracking are.
std::optional<Pass::Swing> FirstSwing(const Pass& pass, const Sky& sky, int32_t azimuthOffset, int32_t range) {
    int32_t from = Commanded(pass, sky, pass.start, azimuthOffset, range);
    for (Location::Instant at = pass.start + kPassStep; at <= pass.end; at += kPassStep) {
        const int32_t to = Commanded(pass, sky, at, azimuthOffset, range);
        if (Swings(from, to)) return Pass::Swing{at, from, to};
        from = to;
    }
    return std::nullopt;
}

}  // namespace

int32_t Pass::RotatorAzimuth(int32_t azimuth, Location::Instant at, int32_t range) const {
    const auto index =
        std::clamp<int64_t>(duration_cast<minutes>(at - start) / kPassStep, 0, static_cast<int64_t>(track.size()) - 1);
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
    if (!pass.wholePass) pass.swing = FirstSwing(pass, sky, azimuthOffset, range);
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

int32_t AzimuthForProtocol(int32_t azimuth, const Protocols::Protocol& protocol, int32_t range) {
    if (range <= RotatorSettings::kStopAtNorth || protocol.TakesAzimuthAbove359()) return azimuth;
    return WithinOneTurn(azimuth);
}

const Pass& Aim::PassFrom(Location::Instant start, int32_t azimuthOffset, int32_t range) {
    pass_ = PlanPass(sky_, start, azimuthOffset, range);
    passOffset_ = azimuthOffset;
    passRange_ = range;
    return *pass_;
}

Aimed Aim::TargetsAt(Location::Instant now, Horizontal target, int32_t azimuthOffset, int32_t elevationOffset,
                     const RotatorSettings::Settings& settings, const horizon_mask::Mask& mask) {
    const int32_t range = settings.azimuthRange;
    const bool overlap = range > RotatorSettings::kStopAtNorth;
    const int32_t azimuth = Position::RoundDegrees(target.azimuth);
    long double azimuthFraction = target.azimuth - azimuth;
    Protocols::Targets targets{
        Position::AzimuthTarget(azimuth, azimuthOffset),
        Clamp(Position::ElevationTarget(Position::RoundDegrees(target.elevation), elevationOffset),
              settings.elevation)};
    long double elevation = Clamp(std::max(target.elevation + elevationOffset, 0.0L), settings.elevation);
    bool followsOverlap = false;

    const bool settingsChanged = pass_ && (passOffset_ != azimuthOffset || passRange_ != range);
    if (settingsChanged) pass_.reset();

    if (target.elevation >= 0.0L) {
        if (overlap) {
            // The last sample of a pass lies up to a step before the target sets.
            if (!pass_ || now < pass_->start || now > pass_->end + kPassStep) PassFrom(now, azimuthOffset, range);
            targets.azimuth = pass_->RotatorAzimuth(azimuth + azimuthOffset, now, range);
            followsOverlap = true;
        }
    } else {
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
                azimuthFraction = 0.0L;
                elevation = targets.elevation;
                break;
            case BelowHorizon::kWait: {
                if (!pass_ || pass_->start <= now) {
                    pass_.reset();
                    const std::optional<Location::Instant> rise = NextRise(sky_, now);
                    if (!rise) break;  // the target stays down for a month: follow it
                    PassFrom(*rise, azimuthOffset, overlap ? range : kTurn);
                    risingIndex_ = ClearsTheMask(*pass_, mask);
                }
                // Where it rises (above the horizon mask, when there is one), as the rotator reads it at
                // north (offset added), whatever the side.
                const std::size_t index = pass_->track.empty() ? 0 : std::min(risingIndex_, pass_->track.size() - 1);
                const long double rising = pass_->track.empty() ? 0.0L : pass_->track[index] - pass_->shift;
                const int32_t risingWhole = Position::RoundDegrees(rising);
                const int32_t risingAzimuth = Position::AzimuthTarget(risingWhole, 0);
                const Location::Instant risingAt = pass_->start + static_cast<int>(index) * kPassStep;
                targets.azimuth = overlap ? pass_->RotatorAzimuth(risingAzimuth, risingAt, range) : risingAzimuth;
                targets.elevation = settings.elevation.minimum;
                azimuthFraction = rising - risingWhole;
                elevation = targets.elevation;
                followsOverlap = overlap;
                break;
            }
        }
    }
    return {targets, {OnTheSameTurn(targets.azimuth, azimuthFraction, followsOverlap, range), elevation}};
}

std::size_t Aim::ClearsTheMask(const Pass& pass, const horizon_mask::Mask& mask) const {
    if (mask.Empty()) return 0;
    for (std::size_t i = 0; i < pass.track.size(); ++i) {
        const Horizontal seen = sky_(pass.start + static_cast<int>(i) * kPassStep);
        if (seen.elevation >= mask.ElevationAt(seen.azimuth)) return i;
    }
    return 0;  // hidden all pass: wait where it rises
}

void Aim::Restart() {
    pass_.reset();
}

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
