// What the user sees while frames render: a progress bar with the time left
// on standard error, and a closing line.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace maculo {

class ProgressBar {
public:
    // Draws only when `stream` is a terminal, so logs and pipes stay clean;
    // never without a stream.
    explicit ProgressBar(std::FILE* stream);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    // Frame `frame` (1-based) of `frames` has done `current` of `total` steps.
    void Show(int32_t frame, int32_t frames, int32_t current, int32_t total);
    // Clears the line for another message; the next Show draws it again.
    void Clear();

private:
    std::FILE* stream_;
    bool enabled_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    int drawn_ = -1;  // per-mille last drawn, -1 before the first line
};

// "3 frames in 1.2 s, 0.40 s per frame".
std::string Summary(int32_t frames, double seconds);

}  // namespace maculo
