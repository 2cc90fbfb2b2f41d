#include "renderlib/QuietStream.h"

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
    if (original_ != nullptr && original_ != stream_) std::fclose(original_);
    std::fflush(stream_);
    if (saved_ < 0) return;
    dup2(saved_, fileno(stream_));
    close(saved_);
}

std::FILE* QuietStream::Original() {
    if (original_ != nullptr) return original_;
    const int file = saved_ >= 0 ? dup(saved_) : -1;
    original_ = file >= 0 ? fdopen(file, "w") : nullptr;
    if (original_ != nullptr) {
        std::setvbuf(original_, nullptr, _IONBF, 0);  // in order with what follows on the stream
        return original_;
    }
    if (file >= 0) close(file);
    return original_ = stream_;  // quiet too, but a stream all the same
}

}  // namespace maculo
