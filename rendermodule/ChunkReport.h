// What a chunk of a sequence has left to do when it runs again, and the line
// it ends with, which a farm's log keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "renderlib/Options.h"

namespace maculo {

// The numbers of the frames the run renders: its range, less with
// --skip-existing the frames whose file is there already and not empty (a
// frame file there is whole: frames are renamed into place complete).
std::vector<int32_t> FramesToRender(const CliOptions& options);

struct ChunkCount {
    int32_t rendered = 0;
    int32_t kept = 0;
    int32_t failed = 0;
};

// "node7: rendered 3 frames, kept 1, failed 0 in 2.4 s, 0.80 s per frame".
std::string ClosingLine(const ChunkCount& count, double seconds);

}  // namespace maculo
