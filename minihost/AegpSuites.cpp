#include "minihost/AegpSuites.h"

#include <algorithm>

#include "minihost/EffectRef.h"

namespace maculo::minihost {

namespace {

const char* NameOf(AegpFunction function) {
    switch (function) {
        case AegpFunction::kRegisterWithAEGP:
            return "AEGP_RegisterWithAEGP";
        case AegpFunction::kGetNewEffectForEffect:
            return "AEGP_GetNewEffectForEffect";
        case AegpFunction::kDisposeEffect:
            return "AEGP_DisposeEffect";
        case AegpFunction::kGetNewEffectStreamByIndex:
            return "AEGP_GetNewEffectStreamByIndex";
        case AegpFunction::kDisposeStream:
            return "AEGP_DisposeStream";
        case AegpFunction::kSetDynamicStreamFlag:
            return "AEGP_SetDynamicStreamFlag";
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

template <class Act>
A_Err AegpSuites::Perform(AegpCall call, CanFail canFail, Act act, void* stream) {
    AegpSuites* self = ActiveSlot<AegpSuites>::Get();
    if (!self) return kNoHost;
    std::lock_guard lock(self->mutex_);
    if (stream)
        for (const auto& ref : self->streams_)
            if (&ref->slot == stream) call.index = ref->index;
    std::string entry = NameOf(call.function);
    if (call.index >= 0) entry.append("(").append(std::to_string(call.index)).append(")");
    const Fault fault = self->journal_.Call(std::move(entry), canFail);

    A_Err err = self->plans_[call.function].Next();
    if (!err) err = act(*self, call, fault);
    call.result = err;
    self->calls_.push_back(call);
    return err;
}

A_Err AegpSuites::Dispose(Ref* ref, Fault fault) {
    if (!ref) return A_Err_PARAMETER;
    // A disposal that answers an error still takes the reference away: the effect can do no more.
    ref->live = false;
    return fault == Fault::kError ? kInjectedError : A_Err_NONE;
}

AegpSuites::Ref* AegpSuites::FindLive(std::vector<std::unique_ptr<Ref>>& refs, void* handle, const char* function) {
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
    return Perform(AegpCall{AegpFunction::kRegisterWithAEGP}, kCanError, [&](AegpSuites& self, AegpCall&, Fault fault) {
        if (fault == Fault::kError) return kInjectedError;
        if (!name || !id) return A_Err_PARAMETER;
        *id = self.pluginId_;
        self.registeredNames_.emplace_back(name);
        return A_Err_NONE;
    });
}

A_Err AegpSuites::GetNewEffectForEffect(AEGP_PluginID id, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect) {
    AegpCall call{AegpFunction::kGetNewEffectForEffect};
    call.pluginId = id;
    return Perform(call, kCanErrorOrBeEmpty, [&](AegpSuites& self, AegpCall&, Fault fault) {
        if (fault == Fault::kError) return kInjectedError;
        if (!effect || !IsOurEffect(effect_ref, self.journal_, "AEGP_GetNewEffectForEffect")) return A_Err_PARAMETER;
        *effect = fault == Fault::kEmpty ? nullptr : static_cast<AEGP_EffectRefH>(NewRef(self.effects_, -1));
        return A_Err_NONE;
    });
}

A_Err AegpSuites::DisposeEffect(AEGP_EffectRefH effect) {
    return Perform(AegpCall{AegpFunction::kDisposeEffect}, kCanError, [&](AegpSuites& self, AegpCall&, Fault fault) {
        return Dispose(self.FindLive(self.effects_, effect, "AEGP_DisposeEffect"), fault);
    });
}

A_Err AegpSuites::GetNewEffectStreamByIndex(AEGP_PluginID id, AEGP_EffectRefH effect, PF_ParamIndex index,
                                            AEGP_StreamRefH* stream) {
    AegpCall call{AegpFunction::kGetNewEffectStreamByIndex};
    call.pluginId = id;
    call.index = index;
    return Perform(call, kCanErrorOrBeEmpty, [&](AegpSuites& self, AegpCall&, Fault fault) {
        if (fault == Fault::kError) return kInjectedError;
        if (!stream || index < 0 || !self.FindLive(self.effects_, effect, "AEGP_GetNewEffectStreamByIndex"))
            return A_Err_PARAMETER;
        *stream = fault == Fault::kEmpty ? nullptr : static_cast<AEGP_StreamRefH>(NewRef(self.streams_, index));
        return A_Err_NONE;
    });
}

A_Err AegpSuites::DisposeStream(AEGP_StreamRefH stream) {
    return Perform(
        AegpCall{AegpFunction::kDisposeStream}, kCanError,
        [&](AegpSuites& self, AegpCall&, Fault fault) {
            return Dispose(self.FindLive(self.streams_, stream, "AEGP_DisposeStream"), fault);
        },
        stream);
}

A_Err AegpSuites::SetDynamicStreamFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable,
                                       A_Boolean set) {
    AegpCall call{AegpFunction::kSetDynamicStreamFlag};
    call.flag = flag;
    call.undoable = undoable != 0;
    call.set = set != 0;
    return Perform(
        call, kCanError,
        [&](AegpSuites& self, AegpCall& made, Fault fault) {
            if (fault == Fault::kError) return kInjectedError;
            Ref* ref = self.FindLive(self.streams_, stream, "AEGP_SetDynamicStreamFlag");
            if (!ref) return A_Err_PARAMETER;
            if (flag == AEGP_DynStreamFlag_HIDDEN) self.hidden_[ref->index] = made.set;
            return A_Err_NONE;
        },
        stream);
}

}  // namespace maculo::minihost
