#include "cli/QuietStream.h"

#include <fcntl.h>
#include <unistd.h>

namespace maculo {

QuietStream::QuietStream(std::FILE* stream) : stream_(stream), saved_(dup(fileno(stream))) {
    std::fflush(stream_);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0 && saved_ >= 0) dup2(null, fileno(stream_));
    if (null >= 0) close(null);
}

QuietStream::~QuietStream() {
    std::fflush(stream_);
    if (saved_ < 0) return;
    dup2(saved_, fileno(stream_));
    close(saved_);
}

}  // namespace maculo
