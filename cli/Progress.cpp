#include "Progress.h"

#include <unistd.h>

namespace maculo {

ProgressBar::ProgressBar(std::FILE* stream) : stream_(stream), enabled_(isatty(fileno(stream)) != 0) {}

ProgressBar::~ProgressBar() {
    if (enabled_ && drawn_ >= 0) std::fputs("\r\033[K", stream_);  // leave the line clean
}

void ProgressBar::Show(int32_t frame, int32_t frames, int32_t current, int32_t total) {
    if (!enabled_ || total <= 0) return;
    const double frameShare = double(current < total ? current : total) / double(total);
    const int perMille = int((double(frame - 1) + frameShare) / double(frames) * 1000.0);
    if (perMille == drawn_) return;
    drawn_ = perMille;
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < perMille * kWidth / 1000 ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stream_, "\rframe %d/%d [%s] %5.1f%%", frame, frames, bar, perMille / 10.0);
    std::fflush(stream_);
}

}  // namespace maculo
