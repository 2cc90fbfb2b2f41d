// frei0r's API header. Its functions are C functions, although the header
// does not say so to a C++ compiler, and the library's exports, although
// the build hides every symbol by default.
#pragma once

#pragma GCC visibility push(default)
extern "C" {
#include <frei0r.h>
}
#pragma GCC visibility pop
