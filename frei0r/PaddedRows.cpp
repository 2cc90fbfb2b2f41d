#include "frei0r/PaddedRows.h"

#include <dlfcn.h>
#include <cstdio>
#include <cstring>

namespace maculo {
namespace {

bool CalledFromLibavfilter(const void* caller) {
    Dl_info info{};
    if (dladdr(caller, &info) == 0 || info.dli_fname == nullptr) return false;
    const char* slash = std::strrchr(info.dli_fname, '/');
    return std::strncmp(slash != nullptr ? slash + 1 : info.dli_fname, "libavfilter.so", 14) == 0;
}

// ffmpeg's buffers are aligned for the widest vector instructions it uses on
// this processor (64 bytes with AVX-512); its libavutil says which.
unsigned RowAlignmentBytes() {
    using MaxAlign = size_t (*)();
    const auto maxAlign = reinterpret_cast<MaxAlign>(dlsym(RTLD_DEFAULT, "av_cpu_max_align"));
    const size_t align = maxAlign != nullptr ? maxAlign() : 64;
    return align >= 4 ? unsigned(align) : 4;
}

}  // namespace

void WarnOfPaddedRows(unsigned width, unsigned height, const void* caller) noexcept {
    if (height < 2 || !CalledFromLibavfilter(caller)) return;
    const unsigned pixels = RowAlignmentBytes() / 4;
    if (width % pixels == 0) return;
    std::fprintf(stderr,
                 "maculo_pattern: ffmpeg pads rows %u pixels wide to a multiple of %u, and this filter, which is "
                 "given no row pitch, reads and writes them sheared; pad the width first: "
                 "pad=ceil(iw/%u)*%u:ih,frei0r=maculo_pattern,crop=%u:%u:0:0\n",
                 width, pixels, pixels, pixels, width, height);
}

}  // namespace maculo
