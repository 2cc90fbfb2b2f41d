// What the user sees while frames render: a progress bar with the time left
// on standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace maculo {

class ProgressBar {
public:
    // Draws only when `stream` is a terminal, so logs and pipes stay clean;
    // never without a stream. `kept` frames were there already (--skip-existing).
    ProgressBar(std::FILE* stream, int32_t kept);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    // Frame `frame` (1-based) of the `frames` to render has done `current` of `total` steps.
    void Show(int32_t frame, int32_t frames, int32_t current, int32_t total);
    // Clears the line for another message; the next Show draws it again.
    void Clear();

private:
    std::FILE* stream_;
    bool enabled_;
    int32_t kept_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    int drawn_ = -1;  // per-mille last drawn, -1 before the first line
};

}  // namespace maculo
