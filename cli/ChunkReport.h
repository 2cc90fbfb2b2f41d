// What a chunk of a sequence has left to do when it runs again, and the line
// it ends with, which a farm's log keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace maculo {

// The frames FIRST to LAST of `pattern` whose file is not there yet, or is
// empty. A frame file that is there is whole: frames are renamed into place
// complete.
std::vector<int32_t> MissingFrames(const std::string& pattern, int32_t first, int32_t last);

struct ChunkCount {
    int32_t rendered = 0;
    int32_t kept = 0;
    int32_t failed = 0;
};

// "node7: rendered 3 frames, kept 1, failed 0 in 2.4 s, 0.80 s per frame".
std::string ClosingLine(const ChunkCount& count, double seconds);

}  // namespace maculo
