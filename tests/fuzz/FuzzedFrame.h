// One frame whose every input comes from fuzzer bytes (README.md lists them
// in order), sent through EffectMain in our host, and every promise the
// effect makes checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace maculo::fuzz {

// Renders the frame the bytes describe; the broken promises, none when all hold.
std::vector<std::string> RunFuzzedFrame(const uint8_t* data, size_t size);

}  // namespace maculo::fuzz
