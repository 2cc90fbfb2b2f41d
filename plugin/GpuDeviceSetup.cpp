#include "plugin/Commands.h"
#include "plugin/HostError.h"

namespace maculo {

PF_Err GpuDeviceSetup(PF_OutData& out_data, const PF_GPUDeviceSetupExtra& extra) {
    const PF_GPU_Framework framework = RequireRecord(extra.input).what_gpu;
    if (framework == PF_GPU_Framework_OPENCL || framework == PF_GPU_Framework_CUDA) {
        // Assigned, not merged: for a GPU render the field holds exactly the
        // one capability we offer there.
        out_data.out_flags2 = PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    }
    return PF_Err_NONE;
}

}  // namespace maculo
