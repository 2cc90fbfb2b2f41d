// What the user sees while frames render: a progress bar on standard error.
#pragma once

#include <cstdint>
#include <cstdio>

namespace maculo {

class ProgressBar {
public:
    // Draws only when `stream` is a terminal, so logs and pipes stay clean.
    explicit ProgressBar(std::FILE* stream);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    // Frame `frame` (1-based) of `frames` has done `current` of `total` steps.
    void Show(int32_t frame, int32_t frames, int32_t current, int32_t total);

private:
    std::FILE* stream_;
    bool enabled_;
    int drawn_ = -1;  // per-mille last drawn, -1 before the first line
};

}  // namespace maculo
