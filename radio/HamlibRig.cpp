// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibRig.h"

#include <hamlib/rig.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include "HamlibLink.h"

namespace HamlibRig {

namespace {

constexpr char kNotSent[] = "not sent: the rig was let go";
constexpr char kReplaced[] = "not sent: replaced by a newer request";
constexpr char kDefaultNetworkPort[] = "4532";  // rigctld's own

int CollectModel(const rig_caps* caps, rig_ptr_t data) {
    auto* models = static_cast<std::vector<Model>*>(data);
    models->push_back({static_cast<int>(caps->rig_model), caps->mfg_name ? caps->mfg_name : "",
                       caps->model_name ? caps->model_name : "", caps->port_type == RIG_PORT_SERIAL,
                       caps->port_type != RIG_PORT_NONE});
    return 1;  // go on
}

Result Skipped(const Request& request, const char* why) {
    Result result;
    result.request = request;
    result.reason = why;
    result.skipped = true;
    return result;
}

std::vector<Model> LoadModels(Gate& gate) {
    std::vector<Model> models;
    const std::lock_guard turn(gate);
    rig_set_debug(RIG_DEBUG_NONE);
    rig_load_all_backends();
    rig_list_foreach(CollectModel, &models);
    std::ranges::sort(models, {}, &Model::number);
    return models;
}

}  // namespace

const std::vector<Model>& Models(Gate& gate) {
    static const std::vector<Model> models = LoadModels(gate);
    return models;
}

const Model* FindModel(Gate& gate, int number) {
    const std::vector<Model>& models = Models(gate);
    const auto found = std::ranges::lower_bound(models, number, {}, &Model::number);
    return found != models.end() && found->number == number ? &*found : nullptr;
}

struct Rig::Worker {
    Worker(Address where, Gate& turns) : address(std::move(where)), gate(turns) {}
    void Run();
    Result Execute(const Request& request);
    bool Open(Result& result);
    void Close();

    const Address address;
    Gate& gate;
    bool overNetwork = false;
    // The worker thread's own.
    RIG* rig = nullptr;
    bool open = false;
    std::optional<bool> splitOn;  // as last set; unknown after an open
    // Shared with the posting thread.
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::optional<std::pair<Request, Completion>> next;
    bool retiring = false;
    bool ended = false;
};

Rig::Rig(Address address, Gate& gate) : worker_(std::make_shared<Worker>(std::move(address), gate)) {
    const Model* model = FindModel(gate, worker_->address.model);
    worker_->overNetwork =
        model && !model->serial && !worker_->address.device.empty() && !worker_->address.device.starts_with('/');
    std::thread([worker = worker_] { worker->Run(); }).detach();
}

Rig::~Rig() {
    const std::lock_guard lock(worker_->mutex);
    worker_->retiring = true;
    worker_->wake.notify_one();
}

const Address& Rig::Where() const {
    return worker_->address;
}

bool Rig::Ended() const {
    const std::lock_guard lock(worker_->mutex);
    return worker_->ended;
}

void Rig::Post(Request request, Completion done) {
    std::optional<std::pair<Request, Completion>> replaced;
    {
        const std::lock_guard lock(worker_->mutex);
        replaced.swap(worker_->next);
        worker_->next.emplace(request, std::move(done));
        worker_->wake.notify_one();
    }
    if (replaced && replaced->second) {
        replaced->second(Skipped(replaced->first, kReplaced));
    }
}

void Rig::Worker::Run() {
    // A rigctld that went away must give an error here, not end the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    for (;;) {
        std::pair<Request, Completion> job;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return retiring || next; });
            if (retiring) break;
            job = std::move(*next);
            next.reset();
        }
        const Result result = Execute(job.first);
        if (job.second) job.second(result);
    }
    {
        const std::lock_guard turn(gate);
        Close();
    }
    std::optional<std::pair<Request, Completion>> unsent;
    {
        const std::lock_guard lock(mutex);
        unsent.swap(next);
        ended = true;
    }
    if (unsent && unsent->second) {
        unsent->second(Skipped(unsent->first, kNotSent));
    }
}

bool Rig::Worker::Open(Result& result) {
    if (open) return true;
    if (overNetwork) {
        // Hamlib connects to a rigctld without a time limit of its own, which a host that is down
        // stretches to minutes.
        if (std::string why; !HamlibLink::Reach(address.device, kDefaultNetworkPort, kLongestWaitMs, why)) {
            result.reason = "open: " + why;
            return false;
        }
    }
    const std::lock_guard turn(gate);
    rig = rig_init(address.model);
    if (rig == nullptr) {
        result.reason = "Hamlib has no rig model " + std::to_string(address.model);
        return false;
    }
    hamlib_port_t& port = rig->state.rigport;
    if (port.timeout <= 0 || port.timeout * (port.retry + 1) > kLongestWaitMs) {
        port.timeout = port.timeout <= 0 ? kLongestWaitMs : std::min(port.timeout, kLongestWaitMs);
        port.retry = kLongestWaitMs / port.timeout - 1;
    }
    const auto configure = [&](const char* name, const std::string& value) {
        const token_t token = rig_token_lookup(rig, name);
        return token == RIG_CONF_END ? -RIG_EINVAL : rig_set_conf(rig, token, value.c_str());
    };
    int code = address.device.empty() ? RIG_OK : configure("rig_pathname", address.device);
    const char* step = "device";
    if (code == RIG_OK && address.lineSpeed > 0) {
        code = configure("serial_speed", std::to_string(address.lineSpeed));
        step = "line speed";
    }
    if (code == RIG_OK) {
        // A rigctld that accepts no connection (stopped, its queue of pending connections full) would
        // hold Hamlib's connect, and the turn with it, for minutes.
        std::optional<HamlibLink::CutShortAfter> limit;
        if (overNetwork) limit.emplace(std::chrono::milliseconds(kLongestWaitMs));
        code = rig_open(rig);
        step = "open";
    }
    if (code != RIG_OK) {
        result.reason = std::string(step) + ": " + HamlibLink::ErrorText(code);
        Close();
        return false;
    }
    // Every read goes to the rig: a frequency moved on the dial must be seen.
    rig_set_cache_timeout_ms(rig, HAMLIB_CACHE_ALL, 0);
    open = true;
    splitOn.reset();
    return true;
}

void Rig::Worker::Close() {
    if (rig == nullptr) return;
    if (open) rig_close(rig);
    rig_cleanup(rig);
    rig = nullptr;
    open = false;
}

Result Rig::Worker::Execute(const Request& request) {
    Result result;
    result.request = request;
    if (!Open(result)) return result;
    result.hasSplit = rig->caps->set_split_vfo != nullptr;
    const bool split = request.split && result.hasSplit;

    // One Hamlib call at the gate; on failure records why and, when the link failed, closes.
    bool linkLost = false;
    const auto call = [&](const char* step, const auto& hamlibCall) {
        if (linkLost) return false;
        const std::lock_guard turn(gate);
        const int code = hamlibCall();
        if (code == RIG_OK) return true;
        if (result.reason.empty()) result.reason = std::string(step) + ": " + HamlibLink::ErrorText(code);
        if (!HamlibLink::IsSound(code)) {
            Close();
            linkLost = true;
        }
        return false;
    };
    bool failed = false;
    // Split is set at the first request after an open (a rig left split by another program is taken
    // out of it when this one works without) and whenever the request differs.
    if (result.hasSplit && splitOn != split) {
        const split_t mode = split ? RIG_SPLIT_ON : RIG_SPLIT_OFF;
        if (call("set split", [&] { return rig_set_split_vfo(rig, RIG_VFO_CURR, mode, RIG_VFO_B); })) {
            splitOn = split;
        } else {
            failed = true;
        }
    }
    freq_t hz = 0;
    // The dial before it is set, so that a move by someone else shows even when this request moves it.
    const bool setsDial = request.receiveHz || (request.transmitHz && !split);
    if (setsDial && call("get frequency", [&] { return rig_get_freq(rig, RIG_VFO_CURR, &hz); }))
        result.dialBeforeHz = std::llround(hz);
    if (request.receiveHz) {
        result.receiveSet = call(
            "set frequency", [&] { return rig_set_freq(rig, RIG_VFO_CURR, static_cast<freq_t>(*request.receiveHz)); });
        failed = failed || !result.receiveSet;
    }
    // Without split one VFO does both: a request that gives both frequencies tunes it to receive.
    if (request.transmitHz && (split || !request.receiveHz)) {
        const freq_t hz = static_cast<freq_t>(*request.transmitHz);
        result.transmitSet = split
                                 ? call("set split frequency", [&] { return rig_set_split_freq(rig, RIG_VFO_TX, hz); })
                                 : call("set frequency", [&] { return rig_set_freq(rig, RIG_VFO_CURR, hz); });
        failed = failed || !result.transmitSet;
    }
    if (call("get frequency", [&] { return rig_get_freq(rig, RIG_VFO_CURR, &hz); }))
        result.receiveHz = std::llround(hz);
    if (split && call("get split frequency", [&] { return rig_get_split_freq(rig, RIG_VFO_TX, &hz); }))
        result.transmitHz = std::llround(hz);
    // A rig that cannot tell its PTT (a soft error) is taken as receiving, with nothing reported.
    ptt_t ptt = RIG_PTT_OFF;
    const std::string before = result.reason;
    if (call("get PTT", [&] { return rig_get_ptt(rig, RIG_VFO_CURR, &ptt); })) {
        result.transmitting = ptt != RIG_PTT_OFF;
    } else if (!linkLost) {
        result.reason = before;
    }
    result.ok = !failed && !linkLost && result.reason.empty();
    return result;
}

}  // namespace HamlibRig
