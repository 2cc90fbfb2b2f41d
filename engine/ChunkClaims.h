// Which thread iterates which chunk: each chunk of an iteration is taken
// by exactly one thread, without locks, and the claims of one iteration
// need no clearing before the next.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace maculo {

class ChunkClaims {
public:
    explicit ChunkClaims(int32_t chunks) : stamps_(static_cast<size_t>(chunks)) {}

    // True for the one thread that claims chunk c in iteration i. Only who
    // wins matters; the team's barrier between iterations orders the pixels.
    bool Claim(int32_t c, int32_t i) {
        return stamps_[static_cast<size_t>(c)].exchange(i + 1, std::memory_order_relaxed) != i + 1;
    }

private:
    std::vector<std::atomic<int32_t>> stamps_;
};

}  // namespace maculo
