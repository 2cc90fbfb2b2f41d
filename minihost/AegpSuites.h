// The AEGP layer as far as the effect reaches it: registration ("AEGP Utility
// Suite" 7), the effect's own reference ("AEGP PF Interface Suite" 1, "AEGP
// Effect Suite" 4) and its parameter streams ("AEGP Stream Suite" 10, "AEGP
// Dynamic Stream Suite" 5). Every call is recorded with its result; any call
// of any of these functions can be made to fail.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/FailurePlan.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

enum class AegpFunction {
    kRegisterWithAEGP,
    kGetNewEffectForEffect,
    kDisposeEffect,
    kGetNewEffectStreamByIndex,
    kDisposeStream,
    kSetDynamicStreamFlag,
};

struct AegpCall {
    AegpFunction function;
    A_Err result = A_Err_NONE;
    AEGP_PluginID pluginId = 0;    // calls that take one
    PF_ParamIndex index = -1;      // the parameter of the stream, for stream calls
    AEGP_DynStreamFlags flag = 0;  // SetDynamicStreamFlag
    bool undoable = false;         // SetDynamicStreamFlag
    bool set = false;              // SetDynamicStreamFlag
};

class AegpSuites {
public:
    explicit AegpSuites(Journal& journal);

    const AEGP_UtilitySuite3* Utility() const { return &utility_; }
    const AEGP_PFInterfaceSuite1* PFInterface() const { return &pfInterface_; }
    const AEGP_EffectSuite4* Effect() const { return &effect_; }
    const AEGP_StreamSuite5* Stream() const { return &stream_; }
    const AEGP_DynamicStreamSuite4* DynamicStream() const { return &dynamicStream_; }

    // The id registration hands out.
    void SetPluginId(AEGP_PluginID id);
    // The n-th call of `function` from now returns `code` and does nothing.
    void FailAt(AegpFunction function, int nthCallFromNow, A_Err code);

    std::vector<AegpCall> Calls() const;
    std::vector<std::string> RegisteredNames() const;
    // The stream's hidden flag as last set, or nothing when never touched.
    std::optional<bool> Hidden(PF_ParamIndex index) const;
    size_t LiveEffects() const;
    size_t LiveStreams() const;

private:
    struct Ref {
        void* slot = nullptr;  // handles point here
        PF_ParamIndex index = -1;
        bool live = true;
    };

    static A_Err RegisterWithAEGP(AEGP_GlobalRefcon refcon, const A_char* name, AEGP_PluginID* id);
    static A_Err GetNewEffectForEffect(AEGP_PluginID id, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect);
    static A_Err DisposeEffect(AEGP_EffectRefH effect);
    static A_Err GetNewEffectStreamByIndex(AEGP_PluginID id, AEGP_EffectRefH effect, PF_ParamIndex index,
                                           AEGP_StreamRefH* stream);
    static A_Err DisposeStream(AEGP_StreamRefH stream);
    static A_Err SetDynamicStreamFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable,
                                      A_Boolean set);

    // One call: its journal entry, the planned failure or else `act` (told
    // the fault to act out, among those in `canFail`), then the record of it.
    // A stream handle, when given, tells the record which parameter it was.
    template <class Act>
    static A_Err Perform(AegpCall call, CanFail canFail, Act act, void* stream = nullptr);
    // Takes a live reference away; a null one answers an error.
    static A_Err Dispose(Ref* ref, Fault fault);
    // A live reference behind `handle` among `refs`, or null (noted as misuse).
    Ref* FindLive(std::vector<std::unique_ptr<Ref>>& refs, void* handle, const char* function);
    static void* NewRef(std::vector<std::unique_ptr<Ref>>& refs, PF_ParamIndex index);

    Journal& journal_;
    AEGP_UtilitySuite3 utility_{};
    AEGP_PFInterfaceSuite1 pfInterface_{};
    AEGP_EffectSuite4 effect_{};
    AEGP_StreamSuite5 stream_{};
    AEGP_DynamicStreamSuite4 dynamicStream_{};

    mutable std::mutex mutex_;
    AEGP_PluginID pluginId_ = 17;
    std::map<AegpFunction, FailurePlan> plans_;
    std::vector<AegpCall> calls_;
    std::vector<std::string> registeredNames_;
    std::map<PF_ParamIndex, bool> hidden_;
    std::vector<std::unique_ptr<Ref>> effects_;
    std::vector<std::unique_ptr<Ref>> streams_;
    ActiveSlot<AegpSuites> active_{this};
};

}  // namespace maculo::minihost
