// A frame computed straight with the engine, host pixels in and out: the
// yardstick for frames that travel through the plug-in and a host.
#pragma once

#include <vector>

#include "engine/DepthConversion.h"
#include "engine/PatternCpu.h"

namespace maculo {

// The width x height output, rows packed, from a layer addressed with
// `layer`'s pitch. Returns an empty vector when the engine fails.
template <typename Pixel>
std::vector<Pixel> DirectRender(const Pixel* pixels, const ImageDims& layer, int32_t width, int32_t height,
                                const PatternSettings& settings) {
    const ImageDims dims{width, height, width};
    const size_t count = size_t(width) * size_t(height);
    std::vector<PixelF> source(count), blurred(count), pattern(count);
    ConvertToWorking(pixels, source.data(), layer, dims);
    if (RunPatternCpu(source.data(), blurred.data(), pattern.data(), dims, settings, {}).status != PatternStatus::kDone)
        return {};
    std::vector<Pixel> out(count);
    ConvertFromWorking(pattern.data(), out.data(), dims);
    return out;
}

}  // namespace maculo
