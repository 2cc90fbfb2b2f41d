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

// Each input file in `folder`; the folder's README.md is not one.
std::vector<fs::path> InputsIn(const fs::path& folder) {
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() != ".md") inputs.push_back(entry.path());
    return inputs;
}

TEST(FuzzCorpus, EveryCommittedInputKeepsEveryPromise) {
    const fs::path fuzz(MACULO_FUZZ_DIR);
    std::vector<fs::path> inputs = InputsIn(fuzz / "corpus");
    ASSERT_FALSE(inputs.empty()) << "no seeds in " << fuzz / "corpus";
    const std::vector<fs::path> regressions = InputsIn(fuzz / "regressions");
    inputs.insert(inputs.end(), regressions.begin(), regressions.end());
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        for (const std::string& problem : RunFuzzedFrame(bytes.data(), bytes.size()))
            ADD_FAILURE() << input.parent_path().filename() / input.filename() << ": " << problem;
    }
}

}  // namespace
}  // namespace maculo::fuzz
