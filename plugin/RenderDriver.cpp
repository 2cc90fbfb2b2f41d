#include "plugin/RenderDriver.h"

#include <array>

#include "engine/DepthConversion.h"
#include "engine/PatternCpu.h"
#include "gpu/PatternGpu.h"
#include "plugin/AcquiredSuites.h"
#include "plugin/GlobalData.h"

namespace maculo {
namespace {

// The geometry of a world in pixels; the pitch is zero when the rows cannot
// hold the picture, or hold no whole number of pixels (rows addressed by the
// pitch would then drift from the host's rows into their padding), which no
// sound host sends.
ImageDims DimsOf(const PF_EffectWorld& world, A_long bytesPerPixel) {
    const A_long pitch = world.rowbytes / bytesPerPixel;
    const bool sound =
        world.data != nullptr && world.rowbytes > 0 && world.rowbytes % bytesPerPixel == 0 && pitch >= world.width;
    return {world.width, world.height, sound ? pitch : 0};
}

// The frame's working images: host worlds of the output's pitch and height,
// addressed with that pitch. Disposed in the order they were made, on every path.
class WorkingImages {
public:
    WorkingImages(const PF_WorldSuite2& suite, PF_ProgPtr effectRef, const ImageDims& dims) noexcept
        : suite_(suite), effectRef_(effectRef), dims_(dims) {}
    ~WorkingImages() { DisposeAll(); }
    WorkingImages(const WorkingImages&) = delete;
    WorkingImages& operator=(const WorkingImages&) = delete;

    // A new image's pixels, or the host's error.
    PF_Err Add(PixelF*& pixels) noexcept {
        PF_EffectWorld& world = worlds_[count_];
        world = PF_EffectWorld{};
        if (const PF_Err err =
                suite_.PF_NewWorld(effectRef_, dims_.pitch, dims_.height, 0, PF_PixelFormat_ARGB128, &world))
            return err;
        ++count_;
        pixels = static_cast<PixelF*>(static_cast<void*>(world.data));
        return pixels != nullptr ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    }

    // The first disposal error, once; later calls do nothing.
    PF_Err DisposeAll() noexcept {
        PF_Err first = PF_Err_NONE;
        for (int i = 0; i < count_; ++i) {
            const PF_Err err = suite_.PF_DisposeWorld(effectRef_, &worlds_[i]);
            if (first == PF_Err_NONE) first = err;
        }
        count_ = 0;
        return first;
    }

private:
    const PF_WorldSuite2& suite_;
    PF_ProgPtr effectRef_;
    ImageDims dims_;
    std::array<PF_EffectWorld, 3> worlds_{};
    int count_ = 0;
};

// The engine's progress hook, answered by the host's progress callback.
int32_t HostProgress(void* ref, int32_t current, int32_t total) {
    const PF_InData& in_data = *static_cast<const PF_InData*>(ref);
    return in_data.inter.progress(in_data.effect_ref, current, total);
}

// The host's code for how the processor pipeline ended: a stop asked for by
// the host's progress callback answers the host with the callback's own code.
PF_Err HostCode(const PatternResult& result) {
    switch (result.status) {
        case PatternStatus::kDone:
            return PF_Err_NONE;
        case PatternStatus::kStopped:
            return result.stopCode;
        case PatternStatus::kOutOfMemory:
            return PF_Err_OUT_OF_MEMORY;
        case PatternStatus::kBadDims:
            break;
    }
    // Geometry no working image can have: the host sent a damaged world.
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

// One frame at one depth; Pixel is the host's pixel of that depth.
template <typename Pixel>
PF_Err RenderAtDepth(const PF_InData& in_data, PF_OutData* out_data, const PF_EffectWorld& input,
                     PF_EffectWorld& output, const PatternSettings& settings) {
    constexpr A_long kBytes = sizeof(Pixel);
    const ImageDims inDims = DimsOf(input, kBytes);
    const ImageDims outDims = DimsOf(output, kBytes);
    if (outDims.width <= 0 || outDims.height <= 0) return PF_Err_NONE;  // nothing to draw
    // Every read stays inside the input: it must cover the output's picture.
    if (outDims.pitch == 0 || inDims.pitch == 0 || inDims.width < outDims.width || inDims.height < outDims.height)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;

    const ScopedSuite<PF_WorldSuite2> worldSuite(in_data, out_data);
    const GlobalData* global =
        in_data.global_data != nullptr ? static_cast<const GlobalData*>(*in_data.global_data) : nullptr;
    if (global == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;

    WorkingImages images(*worldSuite, in_data.effect_ref, outDims);
    PixelF* source = nullptr;
    PixelF* result = nullptr;
    if (const PF_Err err = images.Add(source)) return err;
    if (const PF_Err err = images.Add(result)) return err;

    ConvertToWorking(static_cast<const Pixel*>(static_cast<const void*>(input.data)), source, inDims, outDims);

    // A GPU render that fails or is refused falls back to the processor on
    // the same images: the source is only read by the GPU path.
    const GpuState* gpu = settings.useGpu ? global->gpuState : nullptr;
    if (gpu == nullptr || !RunPatternGpu(source, result, outDims, settings, *gpu)) {
        PixelF* scratch = nullptr;
        if (const PF_Err err = images.Add(scratch)) return err;
        const ProgressHook hook{in_data.inter.progress != nullptr ? &HostProgress : nullptr,
                                const_cast<PF_InData*>(&in_data)};
        if (const PF_Err err = HostCode(RunPatternCpu(source, scratch, result, outDims, settings, hook))) return err;
    }

    ConvertFromWorking(result, static_cast<Pixel*>(static_cast<void*>(output.data)), outDims);
    return images.DisposeAll();
}

}  // namespace

PF_Err RenderPattern(const PF_InData& in_data, PF_OutData* out_data, PF_PixelFormat format, const PF_EffectWorld& input,
                     PF_EffectWorld& output, const PatternSettings& settings) {
    switch (format) {
        case PF_PixelFormat_ARGB32:
            return RenderAtDepth<Pixel8>(in_data, out_data, input, output, settings);
        case PF_PixelFormat_ARGB64:
            return RenderAtDepth<Pixel16>(in_data, out_data, input, output, settings);
        case PF_PixelFormat_ARGB128:
            return RenderAtDepth<PixelF>(in_data, out_data, input, output, settings);
        default:
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

}  // namespace maculo
