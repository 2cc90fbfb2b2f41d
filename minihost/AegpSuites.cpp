#include "minihost/AegpSuites.h"

#include <algorithm>

#include "minihost/EffectRef.h"

namespace maculo::minihost {

namespace {

const char* NameOf(AegpFunction function) {
    switch (function) {
        case AegpFunction::kRegisterWithAEGP: return "AEGP_RegisterWithAEGP";
        case AegpFunction::kGetNewEffectForEffect: return "AEGP_GetNewEffectForEffect";
        case AegpFunction::kDisposeEffect: return "AEGP_DisposeEffect";
        case AegpFunction::kGetNewEffectStreamByIndex: return "AEGP_GetNewEffectStreamByIndex";
        case AegpFunction::kDisposeStream: return "AEGP_DisposeStream";
        case AegpFunction::kSetDynamicStreamFlag: return "AEGP_SetDynamicStreamFlag";
    }
    return "?";
}

// Calls into a suite whose host is gone get this.
constexpr A_Err kNoHost = A_Err_GENERIC;

}  // namespace

AegpSuites::AegpSuites(Journal& journal) : journal_(journal) {
    utility_.AEGP_RegisterWithAEGP = &AegpSuites::RegisterWithAEGP;
    pfInterface_.AEGP_GetNewEffectForEffect = &AegpSuites::GetNewEffectForEffect;
    effect_.AEGP_DisposeEffect = &AegpSuites::DisposeEffect;
    stream_.AEGP_GetNewEffectStreamByIndex = &AegpSuites::GetNewEffectStreamByIndex;
    stream_.AEGP_DisposeStream = &AegpSuites::DisposeStream;
    dynamicStream_.AEGP_SetDynamicStreamFlag = &AegpSuites::SetDynamicStreamFlag;
}

void AegpSuites::SetPluginId(AEGP_PluginID id) {
    std::lock_guard lock(mutex_);
    pluginId_ = id;
}

void AegpSuites::FailAt(AegpFunction function, int nthCallFromNow, A_Err code) {
    std::lock_guard lock(mutex_);
    plans_[function].FailAt(nthCallFromNow, code);
}

std::vector<AegpCall> AegpSuites::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> AegpSuites::RegisteredNames() const {
    std::lock_guard lock(mutex_);
    return registeredNames_;
}

std::optional<bool> AegpSuites::Hidden(PF_ParamIndex index) const {
    std::lock_guard lock(mutex_);
    auto it = hidden_.find(index);
    if (it == hidden_.end()) return std::nullopt;
    return it->second;
}

size_t AegpSuites::LiveEffects() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(effects_.begin(), effects_.end(), [](auto& r) { return r->live; }));
}

size_t AegpSuites::LiveStreams() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(streams_.begin(), streams_.end(), [](auto& r) { return r->live; }));
}

A_Err AegpSuites::Begin(AegpCall& call) {
    std::string entry = NameOf(call.function);
    if (call.index >= 0) entry += "(" + std::to_string(call.index) + ")";
    journal_.Call(std::move(entry));
    return plans_[call.function].Next();
}

AegpSuites::Ref* AegpSuites::FindLive(std::vector<std::unique_ptr<Ref>>& refs, void* handle,
                                      const char* function) {
    for (auto& ref : refs)
        if (&ref->slot == handle && ref->live) return ref.get();
    journal_.Misuse(std::string(function) + ": not a live reference");
    return nullptr;
}

void* AegpSuites::NewRef(std::vector<std::unique_ptr<Ref>>& refs, PF_ParamIndex index) {
    refs.push_back(std::make_unique<Ref>());
    refs.back()->index = index;
    return &refs.back()->slot;
}

A_Err AegpSuites::RegisterWithAEGP(AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    AegpCall call{AegpFunction::kRegisterWithAEGP};
    A_Err err = self->Begin(call);
    if (!err && (!name || !id)) err = A_Err_PARAMETER;
    if (!err) {
        *id = self->pluginId_;
        self->registeredNames_.emplace_back(name);
    }
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

A_Err AegpSuites::GetNewEffectForEffect(AEGP_PluginID id, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    AegpCall call{AegpFunction::kGetNewEffectForEffect};
    call.pluginId = id;
    A_Err err = self->Begin(call);
    if (!err && (!effect || !IsOurEffect(effect_ref, self->journal_, "AEGP_GetNewEffectForEffect")))
        err = A_Err_PARAMETER;
    if (!err) *effect = static_cast<AEGP_EffectRefH>(NewRef(self->effects_, -1));
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

A_Err AegpSuites::DisposeEffect(AEGP_EffectRefH effect) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    AegpCall call{AegpFunction::kDisposeEffect};
    A_Err err = self->Begin(call);
    if (!err) {
        if (Ref* ref = self->FindLive(self->effects_, effect, "AEGP_DisposeEffect"))
            ref->live = false;
        else
            err = A_Err_PARAMETER;
    }
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

A_Err AegpSuites::GetNewEffectStreamByIndex(AEGP_PluginID id, AEGP_EffectRefH effect, PF_ParamIndex index,
                                            AEGP_StreamRefH* stream) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    AegpCall call{AegpFunction::kGetNewEffectStreamByIndex};
    call.pluginId = id;
    call.index = index;
    A_Err err = self->Begin(call);
    if (!err && (!stream || index < 0 || !self->FindLive(self->effects_, effect, "AEGP_GetNewEffectStreamByIndex")))
        err = A_Err_PARAMETER;
    if (!err) *stream = static_cast<AEGP_StreamRefH>(NewRef(self->streams_, index));
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

A_Err AegpSuites::DisposeStream(AEGP_StreamRefH stream) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    Ref* ref = self->FindLive(self->streams_, stream, "AEGP_DisposeStream");
    AegpCall call{AegpFunction::kDisposeStream};
    call.index = ref ? ref->index : -1;
    A_Err err = self->Begin(call);
    if (!err) {
        if (ref)
            ref->live = false;
        else
            err = A_Err_PARAMETER;
    }
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

A_Err AegpSuites::SetDynamicStreamFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable,
                                       A_Boolean set) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    Ref* ref = self->FindLive(self->streams_, stream, "AEGP_SetDynamicStreamFlag");
    AegpCall call{AegpFunction::kSetDynamicStreamFlag};
    call.index = ref ? ref->index : -1;
    call.flag = flag;
    call.undoable = undoable != 0;
    call.set = set != 0;
    A_Err err = self->Begin(call);
    if (!err && !ref) err = A_Err_PARAMETER;
    if (!err && flag == AEGP_DynStreamFlag_HIDDEN) self->hidden_[ref->index] = call.set;
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

}  // namespace maculo::minihost
