#include "renderlib/FrameImage.h"

#include "minihost/LargePages.h"

namespace maculo {

FrameImage MakeFrame(int32_t depth, int32_t width, int32_t height, bool hasAlpha) {
    FrameImage frame;
    frame.depth = depth;
    frame.width = width;
    frame.height = height;
    frame.hasAlpha = hasAlpha;
    const size_t floats = size_t(width) * size_t(height) * size_t(frame.BytesPerPixel()) / sizeof(float);
    frame.storage.reserve(floats);
    minihost::AdviseLargePages(frame.storage.data(), floats * sizeof(float));  // before the pages are touched
    frame.storage.assign(floats, 0.0f);
    return frame;
}

}  // namespace maculo
