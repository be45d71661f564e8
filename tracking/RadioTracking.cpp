// SPDX-License-Identifier: GPL-3.0-or-later
#include "RadioTracking.h"

#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "HamlibModels.h"
#include "Journal.h"
#include "Messages.h"
#include "PlanSettings.h"
#include "WeakSignalDx.h"
#include "eme_plan.h"

namespace RadioTracking {

namespace {

using namespace std::chrono;
using RadioSettings::Settings;
using RadioSettings::Tuning;

constexpr char kRadioError[] = "Radio error - ";
// How often the PTT is read where it matters (a rig without split, or one that cannot QSY in transmit).
constexpr milliseconds kPttPoll{200};
// The rig's dial moved by more than this without Lunark setting it: another program tunes it too.
constexpr long long kForeignMoveHz = 100;

class RotatorTurns : public HamlibRig::Gate {
public:
    void lock() override { HamlibModels::HamlibInUse().lock(); }
    void unlock() override { HamlibModels::HamlibInUse().unlock(); }
};

// Answers from the rig's worker, picked up by Tick.
struct Mailbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::optional<HamlibRig::Result> result;
};

}  // namespace

struct Tracker::State {
    explicit State(Journal::Journal& journal) : journal(journal) {}
    Journal::Journal& journal;
    Settings settings;
    pointing::Station home;
    std::optional<pointing::Station> dx;
    std::string givenDx;  // the settings' DX locator, behind the weak-signal program's
    std::unique_ptr<HamlibRig::Rig> rig;
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
    Status status;
    bool inFlight = false;
    bool answering = true;          // the first failure is told
    bool hasSplit = true;           // until the rig says otherwise
    std::optional<long long> dial;  // what the current VFO was last set to
    Location::Instant receiveSetAt{}, transmitSetAt{}, lastPost{}, holdUntil{};
    Location::Instant transmitFor{};  // the instant the transmit frequency under way was computed for
};

namespace {

using TrackerState = Tracker::State;

double DayOf(Location::Instant at) {
    return Location::DayNumber(at);
}

// The start of the transmit or receive period `at` falls in, periods counted from midnight UTC.
Location::Instant PeriodStart(Location::Instant at, int periodSeconds) {
    const auto since = duration_cast<seconds>(at.time_since_epoch()).count();
    return Location::Instant(seconds(since - since % periodSeconds));
}

RadioSettings::Doppler DopplerOf(const TrackerState& t, Location::Instant at) {
    return DopplerAt(DayOf(at), t.home, t.dx, t.settings.skedHz);
}

std::optional<Tuning> TuningAt(const TrackerState& t, Location::Instant at) {
    return RadioSettings::Tune(t.settings, DopplerOf(t, at));
}

// The receive frequency less the sked frequency, unrounded.
long double Correction(const TrackerState& t, const RadioSettings::Doppler& doppler) {
    const RadioSettings::ModeRow& row = RadioSettings::RowOf(t.settings.mode);
    return row.receiveHome * doppler.home + row.receiveDx * doppler.dx;
}

bool Drifted(const std::optional<long long>& set, long long wanted, long long step) {
    return !set || std::llabs(wanted - *set) >= step;
}

std::string CallText(const HamlibRig::Request& request) {
    std::string text;
    if (request.receiveHz) text = "set receive " + std::to_string(*request.receiveHz) + " Hz";
    if (request.transmitHz)
        text += (text.empty() ? "" : ", ") + std::string("set transmit ") + std::to_string(*request.transmitHz) + " Hz";
    return text.empty() ? "read" : text;
}

void Handle(TrackerState& t, const HamlibRig::Result& result, Location::Instant now) {
    t.inFlight = false;
    if (result.skipped) return;
    Status& s = t.status;
    t.hasSplit = result.hasSplit;
    s.split = t.settings.split && result.hasSplit;
    // The dial as it stood before this request, then as it stands after it, against what was last set
    // (in transmit a split rig may show its transmit VFO: only a receiving dial counts).
    const auto compare = [&t, &s,
                          receiving = !result.transmitting.value_or(false)](const std::optional<long long>& dial) {
        if (!dial || !t.dial || !receiving || std::llabs(*dial - *t.dial) <= kForeignMoveHz) return;
        s.warning = "The rig's frequency moved to " + std::to_string(*dial) +
                    " Hz without Lunark setting it: another program tunes it too (its own split and "
                    "Doppler tracking must be off).";
        t.journal.Add("Radio: " + s.warning);
        t.dial = dial;
    };
    compare(result.dialBeforeHz);
    if (result.receiveSet) {
        s.setReceive = result.request.receiveHz;
        s.receiveSetFor = t.receiveSetAt;
        t.dial = result.request.receiveHz;
    }
    if (result.transmitSet) {
        s.setTransmit = result.request.transmitHz;
        s.transmitSetFor = t.transmitFor;
        if (!s.split) t.dial = result.request.transmitHz;
    }
    compare(result.receiveHz);
    if (result.receiveHz) s.readReceive = result.receiveHz;
    if (result.transmitHz) s.readTransmit = result.transmitHz;
    const bool wasTransmitting = s.transmitting.value_or(false);
    s.transmitting = result.transmitting;
    if (!s.split && wasTransmitting && !s.transmitting.value_or(false)) {
        // Back to receive: the dial is set at once, and the next transmission is tuned anew.
        s.setReceive.reset();
        s.setTransmit.reset();
        t.receiveSetAt = {};
    }
    if (!result.ok) {
        s.state = result.reason;
        t.holdUntil = now + milliseconds(t.settings.intervalMs);
        if (t.answering) {
            t.journal.Add("Radio: " + CallText(result.request) + ": " + ErrorText(t.settings.rig) + ": " +
                          result.reason);
            Messages::ShowMessage(ErrorText(t.settings.rig));
        }
        t.answering = false;
        return;
    }
    if (!t.answering)
        t.journal.Add("Radio: " + ErrorText(t.settings.rig).substr(sizeof kRadioError - 1) + " answers again");
    t.answering = true;
    s.state = "answers";
}

void Collect(TrackerState& t, Location::Instant now) {
    std::optional<HamlibRig::Result> result;
    {
        const std::lock_guard lock(t.mailbox->mutex);
        result.swap(t.mailbox->result);
    }
    if (result) Handle(t, *result, now);
}

void Post(TrackerState& t, const HamlibRig::Request& request, Location::Instant now) {
    t.inFlight = true;
    t.lastPost = now;
    t.rig->Post(request, [mailbox = t.mailbox](const HamlibRig::Result& result) {
        {
            const std::lock_guard lock(mailbox->mutex);
            // A skipped request leaves a real answer in place.
            if (result.skipped && mailbox->result) return;
            mailbox->result = result;
        }
        mailbox->arrived.notify_all();
    });
}

}  // namespace

HamlibRig::Gate& HamlibGate() {
    static RotatorTurns* const gate = new RotatorTurns;  // never destroyed: workers may outlive main
    return *gate;
}

std::string ChooseDx(const Settings& settings, const std::string& settingsFile) {
    if (std::string heard = WeakSignalDx::FreshGrid(Location::Now()); !heard.empty()) return heard;
    return ConfiguredDx(settings, settingsFile);
}

std::string ConfiguredDx(const Settings& settings, const std::string& settingsFile) {
    if (!settings.dx.empty()) return settings.dx;
    const PlanSettings::Settings plan = PlanSettings::Read(settingsFile);
    return plan.dxLocators.empty() ? std::string() : plan.dxLocators.front();
}

RadioSettings::Doppler DopplerAt(double utcDayNumber, const pointing::Station& home,
                                 const std::optional<pointing::Station>& dx, long long skedHz) {
    const long double f0 = static_cast<long double>(skedHz);
    const auto oneWay = [&](const pointing::Station& station) {
        return -f0 * eme_plan::RangeRate(utcDayNumber, station) / eme_plan::kLightKmPerSecond;
    };
    return {oneWay(home), dx ? oneWay(*dx) : 0.0L};
}

std::string ErrorText(const HamlibRig::Address& address) {
    if (!address.device.empty()) return kRadioError + address.device;
    return kRadioError + std::string("Hamlib") + (address.model > 0 ? " model " + std::to_string(address.model) : "");
}

Tracker::Tracker(Journal::Journal& journal) : state_(std::make_unique<State>(journal)) {}

Tracker::~Tracker() = default;

void Tracker::Use(const Settings& settings, const pointing::Station& home, const std::string& dxLocator) {
    State& t = *state_;
    Reset();
    t.settings = settings;
    t.home = home;
    t.givenDx = dxLocator;
    const std::string heard = WeakSignalDx::FreshGrid(Location::Now());
    t.status.dx = heard.empty() ? dxLocator : heard;
    if (!t.status.dx.empty()) t.dx = PlanSettings::StationOf(t.status.dx);
    const bool needsDx = RadioSettings::RowOf(settings.mode).needsDx;
    t.status.skedHz = settings.enabled ? settings.skedHz : 0;
    t.status.driving = settings.enabled && settings.mode != RadioSettings::Mode::kNone && settings.skedHz > 0 &&
                       settings.rig.model > 0 && (t.dx || !needsDx);
    t.status.state = !settings.enabled                             ? "off"
                     : settings.rig.model <= 0                     ? "no rig chosen"
                     : settings.mode == RadioSettings::Mode::kNone ? "mode none: the rig is not touched"
                     : settings.skedHz <= 0                        ? "no sked frequency"
                     : !t.dx && needsDx                            ? "no DX station"
                                                                   : "waiting for the rig";
    if (t.status.driving) {
        HamlibModels::PrepareHamlib();
        t.rig = std::make_unique<HamlibRig::Rig>(settings.rig, HamlibGate());
    }
}

void Tracker::Tick(Location::Instant now) {
    State& t = *state_;
    Collect(t, now);
    // The weak-signal program's DX locator leads while fresh; when it goes stale the given one returns.
    const std::string heard = WeakSignalDx::FreshGrid(now);
    if (const std::string& dx = heard.empty() ? t.givenDx : heard; dx != t.status.dx && t.settings.enabled) {
        if (!t.status.driving) {
            Use(Settings(t.settings), pointing::Station(t.home), std::string(t.givenDx));  // may drive now
            return;
        }
        t.status.dx = dx;
        t.dx = dx.empty() ? std::nullopt : std::optional(PlanSettings::StationOf(dx));
    }
    if (!t.status.driving) return;
    Status& s = t.status;
    const Settings& settings = t.settings;
    // While the rig works on a request, or after a failure, nothing is worked out: nothing could be sent.
    if (t.inFlight || now < t.holdUntil) return;
    const RadioSettings::Doppler doppler = DopplerOf(t, now);
    s.wanted = RadioSettings::Tune(settings, doppler);
    s.correctionHz = Correction(t, doppler);
    s.rateHzPerSecond = Correction(t, DopplerOf(t, now + seconds(1))) - s.correctionHz;

    const milliseconds interval(settings.intervalMs);
    const bool split = settings.split && t.hasSplit;
    const bool transmitting = s.transmitting.value_or(false);
    HamlibRig::Request request{std::nullopt, std::nullopt, split};
    // Receive: not while a rig without split transmits on its one VFO.
    if ((split || !transmitting) && Drifted(s.setReceive, s.wanted->rigReceive, settings.stepHz) &&
        now - t.receiveSetAt >= interval) {
        request.receiveHz = s.wanted->rigReceive;
    }
    // Transmit: with split kept on the split VFO, else set when a transmission starts. A rig that cannot
    // QSY in transmit is tuned once, for the middle of the transmit period: with split before it starts.
    const Location::Instant period = PeriodStart(now, settings.periodSeconds);
    const seconds half(settings.periodSeconds / 2);
    Location::Instant transmitFor = now;
    if (split) {
        if (settings.noTxQsy) transmitFor = period + seconds(settings.periodSeconds) + half;
        const std::optional<long long> wanted = !settings.noTxQsy ? std::optional(s.wanted->rigTransmit)
                                                : transmitting    ? std::nullopt
                                                               : std::optional(TuningAt(t, transmitFor)->rigTransmit);
        if (wanted && Drifted(s.setTransmit, *wanted, settings.stepHz) && now - t.transmitSetAt >= interval)
            request.transmitHz = wanted;
    } else if (transmitting) {
        if (!s.setTransmit) {
            if (settings.noTxQsy) transmitFor = period + half;
            request.transmitHz = TuningAt(t, transmitFor)->rigTransmit;
        } else if (!settings.noTxQsy && Drifted(s.setTransmit, s.wanted->rigTransmit, settings.stepHz) &&
                   now - t.transmitSetAt >= interval) {
            request.transmitHz = s.wanted->rigTransmit;
        }
    }
    const bool pttMatters = !split || settings.noTxQsy;
    if (!request.receiveHz && !request.transmitHz && now - t.lastPost < (pttMatters ? kPttPoll : interval)) return;
    if (request.receiveHz) t.receiveSetAt = now;
    if (request.transmitHz) {
        t.transmitSetAt = now;
        t.transmitFor = transmitFor;
    }
    Post(t, request, now);
}

const Status& Tracker::Current() const {
    return state_->status;
}

std::optional<HamlibRig::Result> TuneOnce(const HamlibRig::Address& address, bool split, const Tuning& tuning,
                                          milliseconds wait) {
    HamlibModels::PrepareHamlib();
    auto mailbox = std::make_shared<Mailbox>();
    {
        HamlibRig::Rig rig(address, HamlibGate());
        rig.Post({tuning.rigReceive, tuning.rigTransmit, split}, [mailbox](const HamlibRig::Result& result) {
            {
                const std::lock_guard lock(mailbox->mutex);
                mailbox->result = result;
            }
            mailbox->arrived.notify_all();
        });
        std::unique_lock lock(mailbox->mutex);
        mailbox->arrived.wait_for(lock, wait, [&] { return mailbox->result.has_value(); });
        return mailbox->result;
    }
}

void Tracker::Reset() {
    State& t = *state_;
    t.rig.reset();
    t.mailbox = std::make_shared<Mailbox>();
    t.dx.reset();
    t.status = Status{};
    t.inFlight = false;
    t.answering = true;
    t.hasSplit = true;
    t.dial.reset();
    t.receiveSetAt = t.transmitSetAt = t.lastPost = t.holdUntil = t.transmitFor = {};
}

}  // namespace RadioTracking
