#include <memory>

#include "gpu/GpuState.h"
#include "plugin/AcquiredSuites.h"
#include "plugin/Commands.h"
#include "plugin/GlobalData.h"
#include "plugin/HandleLock.h"
#include "resources/PluginInfo.h"

namespace maculo {

namespace {

// A new handle that is disposed again unless it is handed to the host.
class UnclaimedHandle {
public:
    UnclaimedHandle(const PF_HandleSuite1& suite, PF_Handle handle) noexcept : suite_(suite), handle_(handle) {}
    ~UnclaimedHandle() {
        if (handle_ != nullptr) {
            suite_.host_dispose_handle(handle_);
        }
    }
    UnclaimedHandle(const UnclaimedHandle&) = delete;
    UnclaimedHandle& operator=(const UnclaimedHandle&) = delete;

    PF_Handle HandOver() noexcept {
        PF_Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    const PF_HandleSuite1& suite_;
    PF_Handle handle_;
};

}  // namespace

PF_Err GlobalSetup(const PF_InData& in_data, PF_OutData& out_data) {
    // Declared before anything can fail: the host checks them against the
    // property list whatever the outcome.
    out_data.my_version = kPluginVersion;
    out_data.out_flags = kGlobalOutFlags;
    out_data.out_flags2 = kGlobalOutFlags2;

    HostSuites suites(in_data);
    const PF_HandleSuite1& handles = suites.Get<PF_HandleSuite1>();
    PF_Handle handle = handles.host_new_handle(sizeof(GlobalData));
    if (handle == nullptr) {
        return PF_Err_OUT_OF_MEMORY;
    }
    UnclaimedHandle unclaimed(handles, handle);
    const HandleLock lock(handles, handle);  // unlocked before the handle is disposed
    GlobalData* record = lock.As<GlobalData>();
    if (record == nullptr) {
        return PF_Err_OUT_OF_MEMORY;
    }
    *record = GlobalData{};

    A_Err registration = A_Err_NONE;
    if (in_data.appl_id != kPremiereAppId) {
        registration = suites.Get<AEGP_UtilitySuite3>().AEGP_RegisterWithAEGP(nullptr, kEffectName, &record->pluginId);
    }

    auto gpuState = std::make_unique<GpuState>(CreateGpuState());

    // Without a plug-in id the AEGP calls cannot work, so the host gets no
    // global data and the commands that need it say so; the handle and the
    // GPU state made for it are given back instead of being lost.
    if (registration == A_Err_NONE) {
        record->gpuState = gpuState.release();  // read by every render until the process ends
        out_data.global_data = unclaimed.HandOver();
    }
    return PF_Err_NONE;
}

}  // namespace maculo
