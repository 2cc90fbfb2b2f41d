// One frei0r instance: the controls' values, the working images of its
// frame size and the engine's scratch, made once so that no frame allocates.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

#include "controls/ControlValues.h"
#include "engine/PatternTypes.h"
#include "engine/PatternWorkspace.h"

namespace maculo {

class FilterInstance {
public:
    // nullptr for a size no working image can have, or when memory runs out.
    static std::unique_ptr<FilterInstance> Create(unsigned width, unsigned height) noexcept;

    // Each call holds the instance's lock: hosts call one instance from
    // several threads at once (MLT's slices each pass a part of one frame),
    // and the working images and the engine's scratch serve one call at a
    // time. A call runs the engine's whole thread team, so waiting costs
    // the host no throughput, and one calling thread only an uncontended lock.

    // frei0r's parameter pointers: a double*, or a char** for popups. A null
    // pointer, an unknown number and a value that names nothing are ignored.
    void SetParam(const void* param, int index) noexcept;
    void GetParam(void* param, int index) const noexcept;

    // RGBA pixels, rows packed; the output may be the input.
    void Update(const uint32_t* in, uint32_t* out) noexcept;

private:
    struct AlignedFree {
        void operator()(PixelF* p) const { ::operator delete[](p, std::align_val_t(64)); }
    };
    using Image = std::unique_ptr<PixelF[], AlignedFree>;

    explicit FilterInstance(const ImageDims& dims) noexcept;
    Image NewImage() const noexcept;

    mutable std::mutex lock_;
    ImageDims dims_;
    ParamValues values_{};
    Image input_;
    Image blurred_;
    Image pattern_;
    PatternWorkspace workspace_;
};

}  // namespace maculo
