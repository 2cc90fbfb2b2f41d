// What the renderer says on standard error: notes, and how a failure ends it
// (one line and the exit code that goes with it). The program and its file
// module both end this way, so that no exception crosses between them.
#pragma once

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "renderlib/CliError.h"

namespace maculo {

inline constexpr char kProgram[] = "maculo-render";
inline constexpr char kMemoryHint[] = "a smaller frame (--downsample) or fewer processor threads (--threads) need less";

inline void Note(const std::string& text, std::FILE* stream = stderr) {
    std::fprintf(stream, "%s: note: %s\n", kProgram, text.c_str());
}

template <typename Work>
int ExitCodeOf(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        // Whatever ran out (a reader, our host), the run ends cleanly.
        std::fprintf(stderr, "%s: out of memory; %s\n", kProgram, kMemoryHint);
        return kExitFailure;
    } catch (const CliError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return e.ExitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return kExitFailure;
    }
}

}  // namespace maculo
