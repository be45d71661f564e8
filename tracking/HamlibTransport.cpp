// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibTransport.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

#include "FollowWatch.h"
#include "HamlibModels.h"
#include "HamlibSettings.h"
#include "Journal.h"
#include "Messages.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "StationSettings.h"
#include "Unit3.h"

namespace HamlibTransport {

namespace {

using HamlibRotator::Address;
using HamlibRotator::Bearing;
using HamlibRotator::Command;
using HamlibRotator::Result;
using Protocols::Axis;

constexpr char kCommsError[] = "Comms error - ";

std::size_t Index(Axis axis) {
    return axis == Axis::kAzimuth ? 0 : 1;
}

// Shared with the workers, which may still answer while the program exits: never destroyed.
struct Shared {
    std::mutex deliveryMutex;
    Delivery installedDelivery;
    std::mutex inboxMutex;
    std::condition_variable inboxFilled;
    std::deque<std::function<void()>> inbox;
};
Shared& Workers() {
    static Shared* const shared = new Shared;
    return *shared;
}

void Deliver(std::function<void()> work) {
    Shared& shared = Workers();
    {
        // Called under the lock, so that once SetDelivery has replaced a delivery no worker is
        // still inside it (the program's event loop may be gone then).
        const std::lock_guard lock(shared.deliveryMutex);
        if (shared.installedDelivery) {
            shared.installedDelivery(std::move(work));
            return;
        }
    }
    {
        const std::lock_guard lock(shared.inboxMutex);
        shared.inbox.push_back(std::move(work));
    }
    shared.inboxFilled.notify_all();
}

std::string Decimals(double degrees) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", degrees);
    return text;
}

std::string AxesText(bool azimuth, bool elevation) {
    return azimuth && elevation ? "Azimuth and elevation" : azimuth ? "Azimuth" : "Elevation";
}

const char* AxisName(std::size_t axis) {
    return axis == 0 ? "Azimuth" : "Elevation";
}

std::optional<int> PositiveNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
    return value;
}

}  // namespace

bool SameRotator(const std::optional<Address>& first, const std::optional<Address>& second) {
    return first && second && first->model == second->model &&
           HamlibRotator::Destination(*first) == HamlibRotator::Destination(*second);
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
    // An empty device is left to the model: the simulated rotator needs none.
    if (!model || !speed) return std::nullopt;
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

std::string CallText(const Result& result) {
    const HamlibRotator::Request& request = result.request;
    if (result.sent) return "set position " + Decimals(result.sent->azimuth) + " " + Decimals(result.sent->elevation);
    switch (request.command) {
        case Command::kSetPosition:
            return "set position " + Decimals(request.azimuth) + " " + Decimals(request.elevation);
        case Command::kSetAzimuth:
            return "set azimuth " + Decimals(request.azimuth);
        case Command::kSetElevation:
            return "set elevation " + Decimals(request.elevation);
        case Command::kGetPosition:
            return "get position";
        case Command::kStop:
            return "stop";
        case Command::kPark:
            return "park";
    }
    return {};
}

std::string OutcomeText(const Address& address, const Result& result) {
    if (!result.ok) return CommsError(address) + ": " + result.reason;
    std::string text = "done";
    if (result.readBack)
        text += "; read back " + Decimals(result.readBack->azimuth) + " " + Decimals(result.readBack->elevation);
    return text;
}

std::string ModelText(const Address& address) {
    const HamlibModels::Model* model = HamlibModels::FindModel(address.model);
    return "model " + std::to_string(address.model) + " (" +
           (model ? model->manufacturer + ' ' + model->name : std::string("unknown to Hamlib")) + ")";
}

std::string RotatorText(const Address& address) {
    if (address.model <= 0) return "(no rotator chosen)";
    return ModelText(address) + (address.device.empty() ? "" : " at " + address.device);  // the simulator has none
}

std::string CommsError(const Address& address) {
    if (!address.device.empty()) return kCommsError + address.device;
    return kCommsError + std::string("Hamlib") + (address.model > 0 ? " model " + std::to_string(address.model) : "");
}

// The axes' state, on the sending thread; the results on their way back hold it weakly.
struct Axes::State : std::enable_shared_from_this<State> {
    std::optional<Address> rotatorsForRun[2];
    std::optional<AxisResult> lastResults[2];
    std::optional<AxisReading> readings[2];
    bool reading[2] = {false, false};  // a read-back of the axis's rotator is under way
    int outstanding = 0;
    std::optional<Bearing> pointed;  // where the [Rotator] settings last pointed, unrounded
    Event latestEvent;
    FollowWatch::Watch follow[2];
    std::optional<FollowWatch::Clock::time_point> lastFollowRead;
    Resend resend;                        // empty: Send
    Journal::Journal* journal = nullptr;  // none: results are only kept
    HamlibRotator::Registry rotators;     // open for the axes, one worker each

    // The [Rotator] settings in force, as the tracker last handed them.
    RotatorSettings::Settings rotatorSettings;

    void Tell(std::string text) {
        if (journal != nullptr) journal->Add(std::move(text));
    }

    // What FollowAction asks of an axis found not following.
    void ActOnNotFollowing(Axis axis, FollowWatch::Action action) {
        if (action == FollowWatch::Action::kStop) {
            CommandAxisRotator(axis, Command::kStop);
            return;
        }
        if (action != FollowWatch::Action::kPark) return;
        const RotatorSettings::BelowHorizonPolicy& below = rotatorSettings.belowHorizon;
        if (below.policy != RotatorSettings::BelowHorizon::kPark) {
            CommandAxisRotator(axis, Command::kPark);
            return;
        }
        const std::optional<Address> rotator = HamlibAxisRotator(axis);
        if (!rotator) return;
        const double azimuth = below.parkAzimuth, elevation = below.parkElevation;
        if (SameRotator(HamlibAxisRotator(Axis::kAzimuth), HamlibAxisRotator(Axis::kElevation))) {
            Post(*rotator, {Command::kSetPosition, azimuth, elevation}, true, true);
        } else if (axis == Axis::kAzimuth) {
            Post(*rotator, {Command::kSetAzimuth, azimuth, 0}, true, false);
        } else {
            Post(*rotator, {Command::kSetElevation, 0, elevation}, false, true);
        }
    }

    // Weighs a fresh read-back of an axis against what it was commanded.
    void WeighFollowing(std::size_t axis, const AxisReading& kept) {
        if (!kept.commanded || !kept.actual) return;
        const FollowWatch::Settings settings = FollowWatch::Load(Unit3::SettingsFileFor(Unit3::ExecutablePath));
        const bool azimuth = axis == 0;
        const double commanded = azimuth ? kept.commanded->azimuth : kept.commanded->elevation;
        const double actual = azimuth ? kept.actual->azimuth : kept.actual->elevation;
        FollowWatch::Watch& watch = follow[axis];
        const bool wasAlarmed = watch.Alarmed();
        const FollowWatch::Change change =
            watch.Observe(settings, commanded, actual, azimuth, FollowWatch::Clock::now());
        if (change == FollowWatch::Change::kAlarm) {
            const std::string text = FollowWatch::AlarmText(AxisName(axis), watch);
            Tell(text + " (" + FollowWatch::ActionText(settings.action) + ")");
            Messages::ShowMessage(text);
            ActOnNotFollowing(azimuth ? Axis::kAzimuth : Axis::kElevation, settings.action);
        } else if (change == FollowWatch::Change::kCleared && wasAlarmed) {
            Tell(std::string(AxisName(axis)) + " rotator following again - commanded " + Decimals(commanded) + ", at " +
                 Decimals(actual));
        }
    }

    // Whether the axis's last command was a position it never reached the rotator with.
    bool OwesPosition(std::size_t axis) {
        const std::optional<AxisResult>& last = lastResults[axis];
        return last && !last->result.ok && last->result.request.command != Command::kStop &&
               last->result.request.command != Command::kPark;
    }

    // On the sending thread: one result for one or both axes. A command's result is kept and
    // journaled, its failure shown; a read-back's only when the rotator stops or starts answering.
    // A rotator that answers a read-back again after a failed position is sent the position at once.
    void Report(bool azimuth, bool elevation, const Address& address, const Result& result) {
        const bool readBack = result.request.command == Command::kGetPosition;
        const Location::Instant now = Location::Now();
        bool answeringChanged = false;
        bool owed[2] = {false, false};
        for (const std::size_t axis : {std::size_t{0}, std::size_t{1}}) {
            if (!(axis == 0 ? azimuth : elevation)) continue;
            if (!readBack) lastResults[axis] = AxisResult{address, result, now};
            std::optional<AxisReading>& kept = readings[axis];
            if (!kept || !(kept->address == address)) {
                kept = AxisReading{address, {}, {}, {}, {}};
                follow[axis].Reset();  // another rotator
            }
            answeringChanged = answeringChanged || kept->failure.empty() != result.ok;
            owed[axis] = readBack && result.ok && !kept->failure.empty() && OwesPosition(axis);
            if (result.sent) kept->commanded = result.sent;
            if (result.readBack) {
                kept->actual = result.readBack;
                kept->actualAt = now;
            }
            kept->failure = result.reason;
        }
        for (const std::size_t axis : {std::size_t{0}, std::size_t{1}}) {
            if ((axis == 0 ? azimuth : elevation) && result.readBack) WeighFollowing(axis, *readings[axis]);
        }
        if (readBack && !answeringChanged) return;
        std::string outcome = OutcomeText(address, result);
        if (readBack && result.ok) outcome.replace(0, outcome.find(';'), "answers again");  // in place of "done"
        latestEvent = Event{latestEvent.number + 1,
                            AxesText(azimuth, elevation) + ": " + CallText(result) + " on Hamlib " +
                                RotatorText(address) + ": " + outcome,
                            result.ok};
        Tell(latestEvent.text);
        if (!result.ok) Messages::ShowMessage(CommsError(address));
        // Only to an axis still set to this rotator.
        const bool resendAzimuth = owed[0] && HamlibAxisRotator(Axis::kAzimuth) == address;
        const bool resendElevation = owed[1] && HamlibAxisRotator(Axis::kElevation) == address;
        if (resendAzimuth || resendElevation) {
            if (resend) resend(resendAzimuth, resendElevation);
            else Send(resendAzimuth, resendElevation);
        }
    }

    void Post(const Address& address, HamlibRotator::Request request, bool azimuth, bool elevation) {
        ++outstanding;
        const std::weak_ptr<State> alive = weak_from_this();
        rotators.For(address)->Post(request, [=](const Result& result) {
            Deliver([=] {
                // The axes may be gone by now (the program exiting, a test's axes destroyed).
                const std::shared_ptr<State> state = alive.lock();
                if (!state) return;
                --state->outstanding;
                if (request.command == Command::kGetPosition) {
                    if (azimuth) state->reading[0] = false;
                    if (elevation) state->reading[1] = false;
                }
                // A request replaced by a newer one, or dropped with a rotator no longer used, was
                // never tried: nothing to tell.
                if (!result.skipped) state->Report(azimuth, elevation, address, result);
            });
        });
    }

    // The rotators of the axes set to "Hamlib".
    std::optional<Address> HamlibAxisRotator(Axis axis) const {
        const std::string& type = axis == Axis::kAzimuth ? Unit3::AZtype : Unit3::ELtype;
        return Protocols::GoesOver(axis, type, Protocols::TransportKind::kHamlib) ? AxisRotator(axis) : std::nullopt;
    }

    // Lets go of every rotator but the two in use: each axis's, or the one this request sends it to.
    void LetGoOfOthers(const std::optional<Address>& azimuth, const std::optional<Address>& elevation) {
        std::vector<Address> inUse;
        for (const std::optional<Address>& address : {azimuth, elevation}) {
            if (address) inUse.push_back(*address);
        }
        rotators.KeepOnly(inUse);
    }

    // Stops or parks the rotator of an axis, for every Hamlib axis it drives.
    bool CommandAxisRotator(Axis axis, Command command) {
        const std::optional<Address> azimuth = HamlibAxisRotator(Axis::kAzimuth);
        const std::optional<Address> elevation = HamlibAxisRotator(Axis::kElevation);
        LetGoOfOthers(azimuth, elevation);
        const std::optional<Address>& rotator = axis == Axis::kAzimuth ? azimuth : elevation;
        if (!rotator) return false;
        const bool shared = SameRotator(azimuth, elevation);
        Post(*rotator, {command}, axis == Axis::kAzimuth || shared, axis == Axis::kElevation || shared);
        return true;
    }

    std::optional<Address> AxisRotator(Axis axis) const {
        if (const auto& forRun = rotatorsForRun[Index(axis)]) return forRun;
        return HamlibSettings::Load(Unit3::SettingsFileFor(Unit3::ExecutablePath), axis);
    }

    Bearing CurrentTarget() const {
        // An overlap, an elevation range or a policy below the horizon point the rotator elsewhere
        // than the plain position: it goes where they point, as finely as they pointed it.
        if (!RotatorSettings::PointsPlainly(rotatorSettings)) {
            if (pointed) return *pointed;
            return {static_cast<double>(Position::AZtarget), static_cast<double>(Position::ELtarget)};
        }
        return Target(Position::TargetAzimuth, Position::TargetElevation, Unit3::AZoffset, Unit3::ELoffset);
    }

    void Send(bool azimuth, bool elevation) {
        const Bearing target = CurrentTarget();
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
        // The axis not sent keeps its rotator, read only then: the settings are read once per axis.
        LetGoOfOthers(azimuth ? azimuthRotator : HamlibAxisRotator(Axis::kAzimuth),
                      elevation ? elevationRotator : HamlibAxisRotator(Axis::kElevation));

        if (SameRotator(azimuthRotator, elevationRotator)) {
            Post(*azimuthRotator, {Command::kSetPosition, target.azimuth, target.elevation}, true, true);
            return;
        }
        if (azimuthRotator) Post(*azimuthRotator, {Command::kSetAzimuth, target.azimuth, 0}, true, false);
        if (elevationRotator) Post(*elevationRotator, {Command::kSetElevation, 0, target.elevation}, false, true);
    }
};

Axes::Axes(Journal::Journal* journal) : state_(std::make_shared<State>()) {
    state_->journal = journal;
}

Axes::~Axes() = default;

std::optional<Address> Axes::AxisRotator(Axis axis) const {
    return state_->AxisRotator(axis);
}

void Axes::SetAxisRotatorForRun(Axis axis, std::optional<Address> address) {
    state_->rotatorsForRun[Index(axis)] = std::move(address);
}

void Axes::SetPointedTarget(long double azimuth, long double elevation) {
    state_->pointed = Bearing{HamlibRotator::TwoDecimals(static_cast<double>(azimuth)),
                              HamlibRotator::TwoDecimals(static_cast<double>(elevation))};
}

void Axes::UseRotatorSettings(const RotatorSettings::Settings& settings) {
    state_->rotatorSettings = settings;
}

Bearing Axes::CurrentTarget() const {
    return state_->CurrentTarget();
}

void Axes::Send(bool azimuth, bool elevation) {
    state_->Send(azimuth, elevation);
}

bool Axes::Stop(Axis axis) {
    return state_->CommandAxisRotator(axis, Command::kStop);
}

bool Axes::Park(Axis axis) {
    return state_->CommandAxisRotator(axis, Command::kPark);
}

void Axes::ReadBack() {
    // One read at a time per axis: a silent rotator's reads would otherwise queue up behind its
    // timeouts.
    State& state = *state_;
    const std::optional<Address> azimuth = state.HamlibAxisRotator(Axis::kAzimuth);
    const std::optional<Address> elevation = state.HamlibAxisRotator(Axis::kElevation);
    const HamlibRotator::Request read{Command::kGetPosition};
    state.LetGoOfOthers(azimuth, elevation);
    if (SameRotator(azimuth, elevation)) {
        if (state.reading[0] || state.reading[1]) return;
        state.reading[0] = state.reading[1] = true;
        state.Post(*azimuth, read, true, true);
        return;
    }
    if (azimuth && !state.reading[0]) {
        state.reading[0] = true;
        state.Post(*azimuth, read, true, false);
    }
    if (elevation && !state.reading[1]) {
        state.reading[1] = true;
        state.Post(*elevation, read, false, true);
    }
}

bool Axes::Silent() const {
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        const std::optional<AxisReading>& kept = state_->readings[Index(axis)];
        if (kept && !kept->failure.empty() && state_->HamlibAxisRotator(axis) == kept->address) return true;
    }
    return false;
}

void Axes::ProbeSilent() {
    if (Silent()) ReadBack();
}

void Axes::WatchFollowing(std::chrono::seconds readEvery) {
    State& state = *state_;
    if (FollowWatch::Load(Unit3::SettingsFileFor(Unit3::ExecutablePath)).limitDegrees <= 0.0) {
        for (FollowWatch::Watch& watch : state.follow) watch.Reset();
        state.lastFollowRead.reset();
        return;
    }
    const auto now = FollowWatch::Clock::now();
    if (state.lastFollowRead && now - *state.lastFollowRead < readEvery) return;
    state.lastFollowRead = now;
    ReadBack();
}

std::string Axes::NotFollowing(Axis axis) const {
    const FollowWatch::Watch& watch = state_->follow[Index(axis)];
    if (!watch.Alarmed() || !state_->HamlibAxisRotator(axis)) return {};
    return FollowWatch::AlarmText(AxisName(Index(axis)), watch);
}

std::optional<AxisResult> Axes::LastResult(Axis axis) const {
    return state_->lastResults[Index(axis)];
}

std::optional<AxisReading> Axes::Reading(Axis axis) const {
    return state_->readings[Index(axis)];
}

const Event& Axes::LatestEvent() const {
    return state_->latestEvent;
}

void Axes::SetResend(Resend resend) {
    state_->resend = std::move(resend);
}

void Axes::LetGoOfRotators() {
    state_->rotators.KeepOnly({});
}

void Axes::ForgetResults() {
    for (std::size_t axis : {0, 1}) {
        state_->lastResults[axis].reset();
        state_->readings[axis].reset();
        state_->follow[axis].Reset();
    }
}

int Axes::RunDelivered(std::chrono::milliseconds wait) {
    Shared& shared = Workers();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::deque<std::function<void()>> arrived;
        {
            const std::lock_guard lock(shared.inboxMutex);
            arrived.swap(shared.inbox);
        }
        for (auto& work : arrived) work();
        if (state_->outstanding == 0) return 0;
        std::unique_lock lock(shared.inboxMutex);
        if (!shared.inboxFilled.wait_until(lock, deadline, [&] { return !shared.inbox.empty(); }))
            return state_->outstanding;
    }
}

void SetDelivery(Delivery delivery) {
    Shared& shared = Workers();
    const std::lock_guard lock(shared.deliveryMutex);
    shared.installedDelivery = std::move(delivery);
}

}  // namespace HamlibTransport
