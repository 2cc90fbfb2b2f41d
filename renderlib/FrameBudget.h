// Whether a frame can be rendered at all, judged before any work: a frame
// our host cannot make, or the machine cannot hold, is refused at once
// rather than failing after minutes of rendering.
#pragma once

#include <cstdint>
#include <string>

namespace maculo {

// Bytes a render of a width x height frame at `depth` bits needs: the
// effect's three float working images, the host's layer and output, the
// frame before and after the effect, the next frame's picture and the last
// frame's result (read and written while it renders), the file's buffers on
// the way out, and `inputBytes` for the picture read in.
int64_t FrameMemory(int32_t width, int32_t height, int32_t depth, int64_t inputBytes);

struct Memory {
    int64_t bytes;
    std::string limit;  // what sets it, where the process's own limit does
};

// Throws CliError (exit 1) in plain words when a working image of the frame
// would exceed the largest image our host makes, or the render the
// `available` memory: the size asked, what it needs, the limit.
void CheckFrameFits(int32_t width, int32_t height, int32_t depth, int64_t inputBytes, const Memory& available);

// The memory this process can still have: what the system can give without
// swapping (all of it where the system does not say), or less where the
// process's limits (ulimit -v, ulimit -d) or its control group's (a
// container's, a scheduler's) leave less.
Memory AvailableMemory();

}  // namespace maculo
