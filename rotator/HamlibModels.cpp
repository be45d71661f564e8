// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibModels.h"

#include <hamlib/rotator.h>

#include <algorithm>

namespace HamlibModels {

namespace {

int CollectModel(const rot_caps* caps, rig_ptr_t data) {
    auto* models = static_cast<std::vector<Model>*>(data);
    models->push_back({caps->rot_model, caps->mfg_name ? caps->mfg_name : "", caps->model_name ? caps->model_name : "",
                       caps->port_type == RIG_PORT_SERIAL, caps->port_type != RIG_PORT_NONE});
    return 1;  // go on
}

std::vector<Model> LoadModels() {
    PrepareHamlib();
    std::vector<Model> models;
    const std::lock_guard lock(HamlibInUse());
    rot_list_foreach(CollectModel, &models);
    std::ranges::sort(models, {}, &Model::number);
    return models;
}

}  // namespace

void PrepareHamlib() {
    // Loading the backends fills Hamlib's global registry; it must happen once, before any rotator
    // is created, and never beside another thread's rot_init.
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        const std::lock_guard lock(HamlibInUse());
        rig_set_debug(RIG_DEBUG_NONE);
        rot_load_all_backends();
    });
}

void TakeTurns::lock() {
    std::unique_lock lock(mutex_);
    const uint64_t ticket = nextTicket_++;
    turn_.wait(lock, [&] { return serving_ == ticket; });
}

void TakeTurns::unlock() {
    {
        const std::lock_guard lock(mutex_);
        ++serving_;
    }
    turn_.notify_all();
}

TakeTurns& HamlibInUse() {
    // Never destroyed: a rotator's worker may still be inside Hamlib while the program exits.
    static TakeTurns* const inUse = new TakeTurns;
    return *inUse;
}

const std::vector<Model>& Models() {
    static const std::vector<Model> models = LoadModels();
    return models;
}

const Model* FindModel(int number) {
    const std::vector<Model>& models = Models();
    const auto found = std::ranges::lower_bound(models, number, {}, &Model::number);
    return found != models.end() && found->number == number ? &*found : nullptr;
}

}  // namespace HamlibModels
