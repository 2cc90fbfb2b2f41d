// Keeps what libraries print on a standard stream from the user while it
// lives: libpng's warnings and errors on standard error, say, or the
// plug-in's OpenCL set-up messages on standard output. The renderer says what
// went wrong in a line of its own.
#pragma once

#include <cstdio>

namespace maculo {

class QuietStream {
public:
    explicit QuietStream(std::FILE* stream);
    ~QuietStream();
    QuietStream(const QuietStream&) = delete;
    QuietStream& operator=(const QuietStream&) = delete;

    // The stream as it was, unbuffered, for the program's own lines while
    // the libraries' are kept quiet; valid while the object lives.
    std::FILE* Original();

private:
    std::FILE* stream_;
    int saved_;  // the stream's own file, or -1
    std::FILE* original_ = nullptr;
};

}  // namespace maculo
