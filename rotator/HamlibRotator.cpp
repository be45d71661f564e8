// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibRotator.h"

#include <hamlib/rotator.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "HamlibLink.h"
#include "HamlibModels.h"

namespace HamlibRotator {

namespace {

constexpr char kNotSent[] = "not sent: the rotator was closed";
constexpr char kReplaced[] = "not sent: replaced by a newer request";
constexpr char kDefaultNetworkPort[] = "4533";  // rotctld's own
constexpr auto kResolvedKeptFor = std::chrono::minutes(1);

bool IsSetPosition(Command command) {
    return command == Command::kSetPosition || command == Command::kSetAzimuth || command == Command::kSetElevation;
}
bool GivesAzimuth(Command command) {
    return command == Command::kSetPosition || command == Command::kSetAzimuth;
}
bool GivesElevation(Command command) {
    return command == Command::kSetPosition || command == Command::kSetElevation;
}

std::string Trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return c <= ' ' || c == 0x7F; };
    const auto first = std::ranges::find_if_not(text, blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

// A rotator reached over the network rather than a device file: a model not on a serial line
// whose device is not a path.
bool OverNetwork(const Address& address, const std::string& device) {
    if (device.empty() || device.starts_with('/')) return false;
    const HamlibModels::Model* model = HamlibModels::FindModel(address.model);
    return model && !model->serial;
}

// A network rotator's numeric address (HamlibLink::NumericAddress), kept for a while: the sending
// thread asks at every send.
std::string CachedResolvedHost(const std::string& device) {
    struct Entry {
        std::string resolved;
        std::chrono::steady_clock::time_point at;
    };
    static std::mutex mutex;
    static std::map<std::string, Entry> cache;
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard lock(mutex);
    Entry& entry = cache[device];
    if (entry.resolved.empty() || now - entry.at > kResolvedKeptFor)
        entry = {HamlibLink::NumericAddress(device, kDefaultNetworkPort).value_or(device), now};
    return entry.resolved;
}

}  // namespace

double TwoDecimals(double degrees) {
    return std::nearbyint(degrees * 100.0) / 100.0;
}

std::string Destination(const Address& address) {
    const std::string device = Trimmed(address.device);
    if (device.starts_with('/')) {
        char real[PATH_MAX];
        return ::realpath(device.c_str(), real) ? std::string(real) : device;
    }
    return OverNetwork(address, device) ? CachedResolvedHost(device) : device;
}

struct Rotator::Worker {
    struct Job {
        Request request;
        std::vector<Completion> done;
    };

    explicit Worker(Address where)
        : address(std::move(where)), overNetwork(OverNetwork(address, Trimmed(address.device))) {}
    void Run();
    std::vector<Job> TakeOver(Request request, Completion done);
    bool Reach(Result& result);
    Result Execute(const Request& request);
    bool Open(Result& result);
    void Close();

    const Address address;
    const bool overNetwork;  // found before the worker starts: it may run on while the program exits
    // The worker thread's own.
    std::string pathname;  // the device as Hamlib is given it
    ROT* rot = nullptr;
    bool open = false;
    // Shared with the posting thread.
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::optional<Job> nextMotion;  // the latest set position, stop or park not yet started
    std::optional<Job> nextRead;    // a read not yet started
    bool retiring = false;
    bool ended = false;
};

Rotator::Rotator(Address address) : worker_(std::make_shared<Worker>(std::move(address))) {
    HamlibModels::PrepareHamlib();
    std::thread([worker = worker_] { worker->Run(); }).detach();
}

Rotator::~Rotator() {
    Retire();
}

const Address& Rotator::Where() const {
    return worker_->address;
}

// Under the mutex: puts the request in its slot and gives back the jobs it replaces.
std::vector<Rotator::Worker::Job> Rotator::Worker::TakeOver(Request request, Completion done) {
    std::vector<Job> replaced;
    std::optional<Job>& slot = request.command == Command::kGetPosition ? nextRead : nextMotion;
    if (!slot) {
        slot = Job{request, {}};
    } else if (request.command == Command::kGetPosition) {
        // reads are all alike: this one is answered with the one waiting
    } else if (IsSetPosition(request.command) && IsSetPosition(slot->request.command)) {
        Request& waiting = slot->request;
        const Request before = waiting;
        const bool azimuth = GivesAzimuth(request.command) || GivesAzimuth(waiting.command);
        const bool elevation = GivesElevation(request.command) || GivesElevation(waiting.command);
        // The waiting request still counts when it gives a coordinate this one does not.
        const bool waitingCounts = (GivesAzimuth(waiting.command) && !GivesAzimuth(request.command)) ||
                                   (GivesElevation(waiting.command) && !GivesElevation(request.command));
        if (GivesAzimuth(request.command)) waiting.azimuth = request.azimuth;
        if (GivesElevation(request.command)) waiting.elevation = request.elevation;
        waiting.command = azimuth && elevation ? Command::kSetPosition
                          : azimuth            ? Command::kSetAzimuth
                                               : Command::kSetElevation;
        if (!waitingCounts) {
            replaced.push_back({before, std::move(slot->done)});
            slot->done.clear();
        }
    } else {
        replaced.push_back(std::move(*slot));
        slot = Job{request, {}};
    }
    if (done) slot->done.push_back(std::move(done));
    return replaced;
}

void Rotator::Post(Request request, Completion done) {
    std::vector<Worker::Job> replaced;
    {
        const std::lock_guard lock(worker_->mutex);
        if (worker_->retiring) {
            if (done) done({request, false, kNotSent, std::nullopt, std::nullopt, true});
            return;
        }
        replaced = worker_->TakeOver(request, std::move(done));
        worker_->wake.notify_one();
    }
    for (const Worker::Job& job : replaced) {
        for (const Completion& answer : job.done)
            answer({job.request, false, kReplaced, std::nullopt, std::nullopt, true});
    }
}

void Rotator::Retire() {
    const std::lock_guard lock(worker_->mutex);
    worker_->retiring = true;
    worker_->wake.notify_one();
}

bool Rotator::Ended() const {
    const std::lock_guard lock(worker_->mutex);
    return worker_->ended;
}

void Rotator::Worker::Run() {
    // A controller behind a socket that went away must give an error on this thread, not end the
    // program: SIGPIPE stays blocked here, so the write fails with EPIPE instead.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return retiring || nextMotion || nextRead; });
            if (retiring) break;
            std::optional<Job>& next = nextMotion ? nextMotion : nextRead;
            job = std::move(*next);
            next.reset();
        }
        Result result{job.request, false, {}, std::nullopt, std::nullopt};
        if (open || Reach(result)) {
            // Another Hamlib rotator's request waits here for this one, at most one request long;
            // the sender never does.
            const std::lock_guard lock(HamlibModels::HamlibInUse());
            result = Execute(job.request);
        }
        for (const Completion& answer : job.done) answer(result);
    }
    {
        const std::lock_guard lock(HamlibModels::HamlibInUse());
        Close();
    }
    std::vector<Job> unsent;
    {
        const std::lock_guard lock(mutex);
        for (std::optional<Job>* slot : {&nextMotion, &nextRead}) {
            if (*slot) unsent.push_back(std::move(**slot));
            slot->reset();
        }
    }
    for (const Job& job : unsent) {
        for (const Completion& answer : job.done)
            answer({job.request, false, kNotSent, std::nullopt, std::nullopt, true});
    }
    const std::lock_guard lock(mutex);
    ended = true;
}

// Before an open, outside Hamlib: a network rotator's host is resolved and connected to within
// kLongestWaitMs, and Hamlib is given its numeric address. Hamlib resolves the name and connects
// without a time limit of its own, which a host that is down would stretch to the system's
// (minutes), with every other rotator waiting. False, with the reason, when it cannot be reached.
bool Rotator::Worker::Reach(Result& result) {
    pathname = Trimmed(address.device);
    if (!overNetwork) return true;
    std::string why;
    const std::optional<std::string> numeric = HamlibLink::Reach(pathname, kDefaultNetworkPort, kLongestWaitMs, why);
    if (!numeric) {
        result.reason = "open: " + why;
        return false;
    }
    pathname = *numeric;
    return true;
}

bool Rotator::Worker::Open(Result& result) {
    if (open) return true;
    rot = rot_init(address.model);
    if (rot == nullptr) {
        result.reason = "Hamlib has no rotator model " + std::to_string(address.model);
        return false;
    }
    // A silent controller holds Hamlib, and so every other rotator, for its timeout times its
    // tries: cut to kLongestWaitMs, the tries first.
    hamlib_port_t& port = rot->state.rotport;
    if (port.timeout > 0 && port.timeout * (port.retry + 1) > kLongestWaitMs) {
        port.timeout = std::min(port.timeout, kLongestWaitMs);
        port.retry = kLongestWaitMs / port.timeout - 1;
    }
    const auto configure = [&](const char* name, const std::string& value) {
        const token_t token = rot_token_lookup(rot, name);
        return token == RIG_CONF_END ? -RIG_EINVAL : rot_set_conf(rot, token, value.c_str());
    };
    int code = configure("rot_pathname", pathname);
    const char* step = "device";
    if (code == RIG_OK && address.lineSpeed > 0) {
        code = configure("serial_speed", std::to_string(address.lineSpeed));
        step = "line speed";
    }
    if (code == RIG_OK) {
        std::optional<HamlibLink::CutShortAfter> limit;
        if (overNetwork) limit.emplace(std::chrono::milliseconds(kLongestWaitMs));
        code = rot_open(rot);
        step = "open";
    }
    if (code != RIG_OK) {
        result.reason = std::string(step) + ": " + HamlibLink::ErrorText(code);
        Close();
        return false;
    }
    open = true;
    return true;
}

void Rotator::Worker::Close() {
    if (rot == nullptr) return;
    if (open) rot_close(rot);
    rot_cleanup(rot);
    rot = nullptr;
    open = false;
}

Result Rotator::Worker::Execute(const Request& request) {
    Result result{request, false, {}, std::nullopt, std::nullopt};
    if (!Open(result)) return result;

    // Runs one Hamlib call; on failure records why and, when the link itself failed, closes.
    const auto call = [&](const char* step, int code) {
        if (code == RIG_OK) return true;
        result.reason = std::string(step) + ": " + HamlibLink::ErrorText(code);
        if (!HamlibLink::IsSound(code)) Close();
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
            } else if (!HamlibLink::IsSound(code)) {
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
    for (auto& [key, rotator] : rotators_) rotator->Retire();
    for (auto& rotator : retired_) rotator->Retire();
}

std::shared_ptr<Rotator> Registry::For(const Address& address) {
    SweepRetired();
    auto& slot = rotators_[{address.model, Destination(address)}];
    if (slot && slot->Where().lineSpeed != address.lineSpeed) {
        slot->Retire();
        retired_.push_back(std::move(slot));
    }
    if (!slot) slot = std::make_shared<Rotator>(Address{address.model, Trimmed(address.device), address.lineSpeed});
    return slot;
}

void Registry::KeepOnly(const std::vector<Address>& inUse) {
    std::vector<Key> kept;
    for (const Address& address : inUse) kept.emplace_back(address.model, Destination(address));
    std::erase_if(rotators_, [&](auto& entry) {
        if (std::ranges::find(kept, entry.first) != kept.end()) return false;
        entry.second->Retire();
        retired_.push_back(std::move(entry.second));
        return true;
    });
    SweepRetired();
}

void Registry::SweepRetired() {
    std::erase_if(retired_, [](const std::shared_ptr<Rotator>& rotator) { return rotator->Ended(); });
}

}  // namespace HamlibRotator
