// What the user sees and does while frames render: a progress bar on
// standard error and Ctrl-C to stop.
#pragma once

#include <cstdint>
#include <cstdio>

namespace maculo {

// Ctrl-C marks the render as interrupted; the renderer's progress callback
// then asks the plug-in to stop. A second Ctrl-C ends the process at once.
void InstallInterruptHandler();
bool Interrupted();
void RequestInterrupt();

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
