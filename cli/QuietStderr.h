// Keeps what libraries print on standard error (libpng's warnings and
// errors, say) from the user while it lives: the renderer says what went
// wrong in a line of its own.
#pragma once

namespace maculo {

class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;  // standard error itself, or -1
};

}  // namespace maculo
