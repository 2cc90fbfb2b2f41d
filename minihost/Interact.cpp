#include "minihost/Interact.h"

#include <algorithm>
#include <stdexcept>

#include "minihost/EffectRef.h"

namespace maculo::minihost {

namespace {
// A bound on the parameter index the host accepts, far above any effect's count.
constexpr PF_ParamIndex kMaxParams = 1000;

// The value of a popup, float slider or integer slider; other types carry none.
void StoreValue(PF_ParamDef& def, double value) {
    switch (def.param_type) {
        case PF_Param_POPUP:
            def.u.pd.value = static_cast<PF_ParamValue>(value);
            break;
        case PF_Param_FLOAT_SLIDER:
            def.u.fs_d.value = value;
            break;
        case PF_Param_SLIDER:
            def.u.sd.value = static_cast<PF_ParamValue>(value);
            break;
        default:
            break;
    }
}
}  // namespace

Interact::Interact(Journal& journal) : journal_(journal) {
    callbacks_.checkout_param = &Interact::CheckoutParam;
    callbacks_.checkin_param = &Interact::CheckinParam;
    callbacks_.add_param = &Interact::AddParam;
    callbacks_.abort = &Interact::Abort;
    callbacks_.progress = &Interact::Progress;

    PF_ParamDef layer{};
    layer.param_type = PF_Param_LAYER;
    StoreLocked(0, layer);
}

void Interact::StoreLocked(PF_ParamIndex index, const PF_ParamDef& def) {
    if (index >= static_cast<PF_ParamIndex>(params_.size())) params_.resize(static_cast<size_t>(index) + 1);
    for (auto& param : params_)
        if (!param) param = std::make_unique<Param>();
    Param& param = *params_[static_cast<size_t>(index)];
    param.def = def;
    param.choices.clear();
    if (def.param_type == PF_Param_POPUP) {
        if (def.u.pd.u.namesptr) param.choices = def.u.pd.u.namesptr;
        param.def.u.pd.u.namesptr = param.choices.c_str();
    }
}

std::vector<AddedParam> Interact::Added() const {
    std::lock_guard lock(mutex_);
    return added_;
}

void Interact::FailAddParam(int nthCallFromNow, PF_Err code) {
    std::lock_guard lock(mutex_);
    addFailures_.FailAt(nthCallFromNow, code);
}

PF_ParamDef& Interact::ValuedParamLocked(PF_ParamIndex index) {
    if (index < 0 || index >= static_cast<PF_ParamIndex>(params_.size()))
        throw std::out_of_range("SetValue: no such parameter");
    PF_ParamDef& def = params_[static_cast<size_t>(index)]->def;
    if (def.param_type != PF_Param_POPUP && def.param_type != PF_Param_FLOAT_SLIDER &&
        def.param_type != PF_Param_SLIDER)
        throw std::invalid_argument("SetValue: the parameter carries no value");
    return def;
}

void Interact::SetValue(PF_ParamIndex index, double value) {
    std::lock_guard lock(mutex_);
    StoreValue(ValuedParamLocked(index), value);
}

void Interact::SetValueAt(PF_ParamIndex index, A_long time, double value) {
    std::lock_guard lock(mutex_);
    ValuedParamLocked(index);
    keyed_[{index, time}] = value;
}

void Interact::SetParam(PF_ParamIndex index, const PF_ParamDef& def) {
    if (index < 0 || index >= kMaxParams) throw std::out_of_range("SetParam: index out of range");
    std::lock_guard lock(mutex_);
    StoreLocked(index, def);
}

A_long Interact::ParamCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<A_long>(params_.size());
}

PF_ParamList Interact::ParamList() {
    std::lock_guard lock(mutex_);
    paramList_.clear();
    for (auto& param : params_) paramList_.push_back(&param->def);
    return paramList_.data();
}

std::vector<ParamCheckout> Interact::Checkouts() const {
    std::lock_guard lock(mutex_);
    return checkouts_;
}

std::vector<PF_ParamIndex> Interact::Checkins() const {
    std::lock_guard lock(mutex_);
    return checkins_;
}

size_t Interact::OutstandingCheckouts() const {
    std::lock_guard lock(mutex_);
    return outstanding_.size();
}

void Interact::FailCheckout(int nthCallFromNow, PF_Err code) {
    std::lock_guard lock(mutex_);
    checkoutFailures_.FailAt(nthCallFromNow, code);
}

void Interact::FailCheckin(int nthCallFromNow, PF_Err code) {
    std::lock_guard lock(mutex_);
    checkinFailures_.FailAt(nthCallFromNow, code);
}

void Interact::SetProgress(ProgressFunction progress) {
    std::lock_guard lock(mutex_);
    progress_ = std::move(progress);
}

int Interact::ProgressCalls() const {
    std::lock_guard lock(mutex_);
    return progressCalls_;
}

PF_Err Interact::AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    Interact* self = ActiveSlot<Interact>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("add_param(" + std::to_string(index) + ")", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "add_param") || !def) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    AddedParam added{index, *def,
                     def->param_type == PF_Param_POPUP && def->u.pd.u.namesptr ? def->u.pd.u.namesptr : ""};
    self->added_.push_back(added);
    if (PF_Err planned = self->addFailures_.Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    if (index < PF_ParamIndex_NONE || index >= kMaxParams) {
        self->journal_.Misuse("add_param: index out of range");
        return PF_Err_INVALID_INDEX;
    }
    self->StoreLocked(index == PF_ParamIndex_NONE ? static_cast<PF_ParamIndex>(self->params_.size()) : index, *def);
    return PF_Err_NONE;
}

PF_Err Interact::CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                               A_u_long time_scale, PF_ParamDef* param) {
    Interact* self = ActiveSlot<Interact>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("checkout_param(" + std::to_string(index) + ")", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_param") || !param) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    self->checkouts_.push_back(ParamCheckout{index, what_time, time_step, time_scale});
    if (PF_Err planned = self->checkoutFailures_.Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    if (index < 0 || index >= static_cast<PF_ParamIndex>(self->params_.size())) {
        self->journal_.Misuse("checkout_param: no such parameter");
        return PF_Err_INVALID_INDEX;
    }
    *param = self->params_[static_cast<size_t>(index)]->def;
    if (auto key = self->keyed_.find({index, what_time}); key != self->keyed_.end()) StoreValue(*param, key->second);
    self->outstanding_.emplace_back(param, index);
    return PF_Err_NONE;
}

PF_Err Interact::CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    Interact* self = ActiveSlot<Interact>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("checkin_param", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "checkin_param")) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    auto it = std::find_if(self->outstanding_.begin(), self->outstanding_.end(),
                           [param](const auto& entry) { return entry.first == param; });
    if (it == self->outstanding_.end()) {
        self->journal_.Misuse("checkin_param: the record was not checked out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // The parameter counts as returned even when the host reports an error.
    self->checkins_.push_back(it->second);
    self->outstanding_.erase(it);
    const PF_Err planned = self->checkinFailures_.Next();
    return planned != PF_Err_NONE || fault != Fault::kError ? planned : kInjectedError;
}

PF_Err Interact::Abort(PF_ProgPtr) { return PF_Err_NONE; }

PF_Err Interact::Progress(PF_ProgPtr effect_ref, A_long current, A_long total) {
    Interact* self = ActiveSlot<Interact>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("progress", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "progress")) return PF_Err_BAD_CALLBACK_PARAM;
    if (fault == Fault::kError) return kInjectedError;
    ProgressFunction progress;
    {
        std::lock_guard lock(self->mutex_);
        ++self->progressCalls_;
        progress = self->progress_;
    }
    return progress ? progress(current, total) : PF_Err_NONE;
}

}  // namespace maculo::minihost
