// Every input of the fuzzer's seed corpus and every input it once failed on
// (tests/fuzz/regressions), run in every build, sanitizer builds included.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/FuzzedFrame.h"

namespace maculo::fuzz {
namespace {

namespace fs = std::filesystem;

TEST(FuzzCorpus, EveryCommittedInputKeepsEveryPromise) {
    int inputs = 0;
    for (const char* folder : {"corpus", "regressions"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(MACULO_FUZZ_DIR) / folder)) {
            if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;  // README.md is no input
            std::ifstream file(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            for (const std::string& problem : RunFuzzedFrame(bytes.data(), bytes.size()))
                ADD_FAILURE() << folder / entry.path().filename() << ": " << problem;
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 1) << "no seeds in " << MACULO_FUZZ_DIR;
}

}  // namespace
}  // namespace maculo::fuzz
