// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibRotator.h"

#include <hamlib/rotator.h>
#include <pthread.h>

#include <cmath>
#include <csignal>

#include "HamlibModels.h"

namespace HamlibRotator {

namespace {

constexpr char kNotSent[] = "not sent: the rotator was closed";

// Hamlib's text for an error code, first line only (it comes from a static buffer: called with
// HamlibInUse held, as every Hamlib call).
std::string HamlibErrorText(int code) {
    const char* text = rigerror2(code);
    std::string line = text ? text : "";
    if (const auto end = line.find_first_of("\r\n"); end != std::string::npos) line.resize(end);
    return line.empty() ? "Hamlib error " + std::to_string(code) : line;
}

// Hamlib gives negative codes; the soft ones (not implemented, out of range, rejected) leave the
// link to the controller sound.
bool LinkIsSound(int code) {
    const int error = code < 0 ? -code : code;
    return RIG_IS_SOFT_ERRCODE(error);
}

}  // namespace

struct Rotator::Hamlib {
    ROT* rot = nullptr;
    bool open = false;
};

double TwoDecimals(double degrees) {
    return std::nearbyint(degrees * 100.0) / 100.0;
}

Rotator::Rotator(Address address) : address_(std::move(address)), hamlib_(std::make_unique<Hamlib>()) {
    HamlibModels::PrepareHamlib();
    worker_ = std::thread([this] { Work(); });
}

Rotator::~Rotator() {
    Retire();
    worker_.join();
}

void Rotator::Post(Request request, Completion done) {
    {
        const std::lock_guard lock(mutex_);
        if (!retiring_) {
            jobs_.push_back({request, std::move(done)});
            wake_.notify_one();
            return;
        }
    }
    if (done) done({request, false, kNotSent, std::nullopt, std::nullopt});
}

void Rotator::Retire() {
    const std::lock_guard lock(mutex_);
    retiring_ = true;
    wake_.notify_one();
}

bool Rotator::Ended() const {
    const std::lock_guard lock(mutex_);
    return ended_;
}

void Rotator::Work() {
    // A controller behind a socket that went away must give an error on this thread, not end the
    // program: SIGPIPE stays blocked here, so the write fails with EPIPE instead.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return retiring_ || !jobs_.empty(); });
            if (retiring_) break;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        Result result;
        {
            // Another Hamlib rotator's request waits here for this one; the sender never does.
            const std::lock_guard lock(HamlibModels::HamlibInUse());
            result = Execute(job.request);
        }
        if (job.done) job.done(result);
    }
    {
        const std::lock_guard lock(HamlibModels::HamlibInUse());
        Close();
    }
    std::deque<Job> unsent;
    {
        const std::lock_guard lock(mutex_);
        unsent.swap(jobs_);
    }
    for (const Job& job : unsent) {
        if (job.done) job.done({job.request, false, kNotSent, std::nullopt, std::nullopt});
    }
    const std::lock_guard lock(mutex_);
    ended_ = true;
}

bool Rotator::Open(Result& result) {
    if (hamlib_->open) return true;
    hamlib_->rot = rot_init(address_.model);
    if (hamlib_->rot == nullptr) {
        result.reason = "Hamlib has no rotator model " + std::to_string(address_.model);
        return false;
    }
    const auto configure = [&](const char* name, const std::string& value) {
        const token_t token = rot_token_lookup(hamlib_->rot, name);
        return token == RIG_CONF_END ? -RIG_EINVAL : rot_set_conf(hamlib_->rot, token, value.c_str());
    };
    int code = configure("rot_pathname", address_.device);
    const char* step = "device";
    if (code == RIG_OK && address_.lineSpeed > 0) {
        code = configure("serial_speed", std::to_string(address_.lineSpeed));
        step = "line speed";
    }
    if (code == RIG_OK) {
        code = rot_open(hamlib_->rot);
        step = "open";
    }
    if (code != RIG_OK) {
        result.reason = std::string(step) + ": " + HamlibErrorText(code);
        Close();
        return false;
    }
    hamlib_->open = true;
    return true;
}

void Rotator::Close() {
    if (hamlib_->rot == nullptr) return;
    if (hamlib_->open) rot_close(hamlib_->rot);
    rot_cleanup(hamlib_->rot);
    hamlib_->rot = nullptr;
    hamlib_->open = false;
}

Result Rotator::Execute(const Request& request) {
    Result result{request, false, {}, std::nullopt, std::nullopt};
    if (!Open(result)) return result;
    ROT* rot = hamlib_->rot;

    // Runs one Hamlib call; on failure records why and, when the link itself failed, closes.
    const auto call = [&](const char* step, int code) {
        if (code == RIG_OK) return true;
        result.reason = std::string(step) + ": " + HamlibErrorText(code);
        if (!LinkIsSound(code)) Close();
        return false;
    };
    const auto read = [&](Bearing& bearing) {
        azimuth_t azimuth = 0;
        elevation_t elevation = 0;
        const int code = rot_get_position(rot, &azimuth, &elevation);
        bearing = {azimuth, elevation};
        return code;
    };

    switch (request.command) {
    case Command::kSetPosition:
    case Command::kSetAzimuth:
    case Command::kSetElevation: {
        Bearing target{TwoDecimals(request.azimuth), TwoDecimals(request.elevation)};
        if (request.command != Command::kSetPosition) {
            Bearing current{};
            if (!call("get position", read(current))) return result;
            if (request.command == Command::kSetAzimuth) target.elevation = current.elevation;
            if (request.command == Command::kSetElevation) target.azimuth = current.azimuth;
        }
        if (!call("set position", rot_set_position(rot, static_cast<azimuth_t>(target.azimuth),
                                                   static_cast<elevation_t>(target.elevation)))) {
            return result;
        }
        result.sent = target;
        Bearing actual{};
        const int code = read(actual);
        if (code == RIG_OK) {
            result.readBack = actual;
        } else if (!LinkIsSound(code)) {
            call("get position", code);  // moved, perhaps, but no longer answering
            return result;
        }
        break;
    }
    case Command::kGetPosition: {
        Bearing actual{};
        if (!call("get position", read(actual))) return result;
        result.readBack = actual;
        break;
    }
    case Command::kStop:
        if (!call("stop", rot_stop(rot))) return result;
        break;
    case Command::kPark:
        if (!call("park", rot_park(rot))) return result;
        break;
    }
    result.ok = true;
    return result;
}

Registry::~Registry() {
    // Retire all first, so the workers close their rotators side by side.
    for (auto& [key, rotator] : rotators_) rotator->Retire();
    for (auto& rotator : retired_) rotator->Retire();
}

std::shared_ptr<Rotator> Registry::For(const Address& address) {
    SweepRetired();
    auto& slot = rotators_[{address.model, address.device}];
    if (slot && slot->Where().lineSpeed != address.lineSpeed) {
        slot->Retire();
        retired_.push_back(std::move(slot));
    }
    if (!slot) slot = std::make_shared<Rotator>(address);
    return slot;
}

void Registry::SweepRetired() {
    std::erase_if(retired_, [](const std::shared_ptr<Rotator>& rotator) { return rotator->Ended(); });
}

Registry& Rotators() {
    static Registry registry;
    return registry;
}

}  // namespace HamlibRotator
