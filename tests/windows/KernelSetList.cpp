// Prints the blur kernels' instruction sets this build holds, baseline
// first, one "key:target" a line: the Windows check reads them from here.
#include <cstdio>

#include "engine/BlurKernels.h"

int main() {
    for (const maculo::InstructionSetNames& set : maculo::kInstructionSetNames) {
        std::printf("%s:%s\n", set.key, set.target);
    }
    return 0;
}
