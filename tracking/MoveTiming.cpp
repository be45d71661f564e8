// SPDX-License-Identifier: GPL-3.0-or-later
#include "MoveTiming.h"

#include "Journal.h"
#include "MoveWindow.h"
#include "RotatorSettings.h"
#include "StationSettings.h"
#include "Unit3.h"
#include "WeakSignalDx.h"

namespace {

// How often a send held back while the weak-signal program transmits looks again: its status
// comes every few seconds and says when transmitting stops.
constexpr auto kReceiveCheck = std::chrono::seconds(1);

}  // namespace

bool MoveTiming::Transmitting(Location::Instant at) const {
    return settings_.moveWhenNotTransmitting && WeakSignalDx::TransmittingUntil(at).has_value();
}

MoveTiming::Sends& MoveTiming::Sends::operator|=(const Sends& other) {
    tick = tick || other.tick;
    all = all || other.all;
    retry = retry || other.retry;
    azimuth = azimuth || other.azimuth;
    elevation = elevation || other.elevation;
    return *this;
}

int32_t MoveTiming::PeriodSeconds(Location::Instant at) {
    if (const std::optional<int32_t> heard = WeakSignalDx::FreshPeriodSeconds(at)) return *heard;
    return StationSettings::PeriodSeconds(Unit3::SettingsFileFor(Unit3::ExecutablePath));
}

bool MoveTiming::MayMove(Location::Instant at) const {
    if (Transmitting(at)) return false;
    return !settings_.moveWindow || MoveWindow::Inside(at, PeriodSeconds(at), *settings_.moveWindow);
}

std::optional<MoveTiming::Sends> MoveTiming::Offer(const Sends& wanted) {
    owed_ |= wanted;
    return TakeDue();
}

std::optional<MoveTiming::Sends> MoveTiming::TakeDue() {
    if (!owed_.Any() || !MayMove(Location::Now())) return std::nullopt;
    const Sends due = owed_;
    owed_ = {};
    return due;
}

std::optional<Location::Instant> MoveTiming::NextCheck() const {
    if (!owed_.Any()) return std::nullopt;
    const Location::Instant now = Location::Now();
    if (MayMove(now)) return now;
    if (Transmitting(now)) return now + kReceiveCheck;
    return MoveWindow::NextOpening(now, PeriodSeconds(now), *settings_.moveWindow);
}

MoveTiming::When MoveTiming::GoesAt(Location::Instant at) const {
    const RotatorSettings::Settings& settings = settings_;
    When when{at, false};
    if (settings.moveWhenNotTransmitting) {
        // A status that says "transmitting" holds the send until the next status or until it grows stale.
        if (const std::optional<Location::Instant> stale = WeakSignalDx::TransmittingUntil(Location::Now());
            stale && *stale > at) {
            when = {*stale, true};
        }
    }
    if (settings.moveWindow) {
        when.at = MoveWindow::NextOpening(when.at, PeriodSeconds(when.at), *settings.moveWindow);
    }
    return when;
}

std::string MoveTiming::Describe() const {
    const RotatorSettings::Settings& settings = settings_;
    if (!settings.moveWindow && !settings.moveWhenNotTransmitting) return "at once (no move window)";
    const Location::Instant now = Location::Now();
    std::string text;
    if (settings.moveWindow) {
        const int32_t period = PeriodSeconds(now);
        const bool heard = WeakSignalDx::FreshPeriodSeconds(now).has_value();
        const std::string source = heard ? " (the weak-signal program's)" : " ([Station] Period)";
        text = MoveWindow::Fits(*settings.moveWindow, period)
                   ? "in seconds " + MoveWindow::Text(*settings.moveWindow) + " of each " + std::to_string(period) +
                         "-second period" + source
                   : "at any second: the window " + MoveWindow::Text(*settings.moveWindow) + " does not fit the " +
                         std::to_string(period) + "-second period" + source;
    }
    if (settings.moveWhenNotTransmitting) {
        if (!text.empty()) text += ", ";
        text += Transmitting(now) ? "not while the weak-signal program transmits (it does now)"
                                  : "not while the weak-signal program transmits";
    }
    if (Owing()) {
        const When when = GoesAt(now);
        text += when.untilReceiving
                    ? "; a send waits for the end of transmitting, until " + Journal::UtcDateTime(when.at)
                    : "; a send waits until " + Journal::UtcDateTime(when.at);
    }
    return text;
}
