// Milliseconds per iteration, as every benchmark here measures it: the best
// time of calls of 1 + kExtraIterations iterations less the best time of
// calls of one, over kExtraIterations, so that what a call does besides
// iterating (its first copy, its weight tables) drops out. Several ways of
// doing the work are timed in turn, a round taking each of them, so that a
// stretch when the machine lends a core elsewhere slows them all alike.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace maculo::bench {

// Iterations a long call has more than a short one.
inline constexpr int32_t kExtraIterations = 4;

struct TimedWork {
    std::function<void(int32_t iterations)> run;  // one call
    std::function<void()> prepare = [] {};        // untimed before each call
    std::function<void()> settle = [] {};         // untimed once a round, before its calls
};

// At least five rounds, and more (at most 30) while the calls so far took
// under `seconds` a work in all.
inline std::vector<double> MsPerIterationInTurn(const std::vector<TimedWork>& works, double seconds) {
    const size_t count = works.size();
    std::vector<double> one(count, 1e30), more(count, 1e30);
    double total = 0.0;
    for (int i = 0; i < 30 && (i < 5 || total < seconds * static_cast<double>(count)); ++i) {
        for (size_t k = 0; k < count; ++k) {
            works[k].settle();
            for (const int32_t iterations : {1, 1 + kExtraIterations}) {
                works[k].prepare();
                const auto start = std::chrono::steady_clock::now();
                works[k].run(iterations);
                const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
                double& best = iterations == 1 ? one[k] : more[k];
                best = std::min(best, elapsed.count());
                total += elapsed.count();
            }
        }
    }
    std::vector<double> ms(count);
    for (size_t k = 0; k < count; ++k) ms[k] = 1000.0 * (more[k] - one[k]) / kExtraIterations;
    return ms;
}

}  // namespace maculo::bench
