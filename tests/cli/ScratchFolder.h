// What the renderer's tests share: a fresh folder per test, removed
// afterwards (files under work/, and room beside it for what the test itself
// keeps, a program's error output), and the failures the renderer raises.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "renderlib/CliError.h"

namespace maculo {

class ScratchFolder : public testing::Test {
protected:
    void SetUp() override {
        root_ =
            std::filesystem::temp_directory_path() / ("maculo-cli-" + std::to_string(getpid()) + "-" +
                                                      testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "work");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string File(const std::string& name) const { return (root_ / "work" / name).string(); }
    // What lies in work/, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(root_ / "work"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path root_;
};

// A file's bytes; empty when it cannot be read.
inline std::string FileContent(const std::string& file) {
    std::stringstream content;
    content << std::ifstream(file, std::ios::binary).rdbuf();
    return content.str();
}

// The message of the CliError that `action` raises, which must exit with `exitCode`.
template <typename Action>
std::string ErrorOf(int exitCode, Action&& action) {
    try {
        action();
    } catch (const CliError& e) {
        EXPECT_EQ(e.ExitCode(), exitCode);
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "";
}

}  // namespace maculo
