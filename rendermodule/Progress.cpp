#include "rendermodule/Progress.h"

#include <unistd.h>

namespace maculo {
namespace {

// "45s", "3m05s", "2h07m".
std::string Duration(double seconds) {
    const long s = long(seconds + 0.5);
    char text[32];
    if (s < 60)
        std::snprintf(text, sizeof text, "%lds", s);
    else if (s < 3600)
        std::snprintf(text, sizeof text, "%ldm%02lds", s / 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ldh%02ldm", s / 3600, s / 60 % 60);
    return text;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* stream, int32_t kept)
    : stream_(stream), enabled_(stream != nullptr && isatty(fileno(stream)) != 0), kept_(kept) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Clear() {
    if (enabled_ && drawn_ >= 0) std::fputs("\r\033[K", stream_);
    drawn_ = -1;
}

void ProgressBar::Show(int32_t frame, int32_t frames, int32_t current, int32_t total) {
    if (!enabled_ || total <= 0) return;
    const double frameShare = double(current < total ? current : total) / double(total);
    const double done = (double(frame - 1) + frameShare) / double(frames);
    const int perMille = int(done * 1000.0);
    if (perMille == drawn_) return;
    drawn_ = perMille;
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < perMille * kWidth / 1000 ? '#' : '.';
    bar[kWidth] = '\0';
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string left = done > 0.0 ? Duration(elapsed * (1.0 - done) / done) : "";
    const std::string kept = kept_ > 0 ? ", " + std::to_string(kept_) + " kept" : "";
    std::fprintf(stream_, "\r\033[Kframe %d/%d%s [%s] %5.1f%%%s%s", frame, frames, kept.c_str(), bar,
                 perMille / 10.0, left.empty() ? "" : " ETA ", left.c_str());
    std::fflush(stream_);
}

}  // namespace maculo
