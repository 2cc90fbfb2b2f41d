#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "resources/PropertyList.h"
#include "resources/Version.h"

namespace {

const std::string kProduced(maculo::kPropertyList.begin(), maculo::kPropertyList.end());

std::string Bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }
std::string Zeros(size_t count) { return std::string(count, '\0'); }
std::string Le32(uint32_t v) { return Bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }

// Vendor 8BIM, the key as it lies in the file (reversed), id 0, one-byte length.
std::string Property(const std::string& reversedKey, int length) {
    return "MIB8" + reversedKey + Zeros(4) + Bytes({length, 0, 0, 0});
}

// The documented layout, assembled by hand independently of the generator;
// the version is the project's, released, build 1.
TEST(PropertyList, MatchesTheDocumentedLayoutByteForByte) {
    const std::string expected =
        Bytes({1, 0, 0, 0, 0, 0, 12, 0, 0, 0}) + Property("dnik", 4) + "TKFe" + Property("eman", 16) + Bytes({14}) +
        "Maculo Pattern" + Zeros(1) + Property("gtac", 12) + Bytes({8}) + "quillfen" + Zeros(3) + Property("4668", 12) +
        "EffectMain" + Zeros(2) + Property("RVPe", 4) + Bytes({2, 0, 0, 0}) + Property("RVSe", 4) +
        Bytes({13, 0, 28, 0}) + Property("REVe", 4) +
        Le32(PF_Version(maculo::kVersionMajor, maculo::kVersionMinor, maculo::kVersionPatch, PF_Stage_RELEASE, 1)) +
        Property("FNIe", 2) + Zeros(4) + Property("OLGe", 4) + Bytes({0x00, 0x00, 0x00, 0x06}) + Property("2LGe", 4) +
        Bytes({0x08, 0x14, 0x00, 0x0A}) + Property("ANMe", 24) + Bytes({23}) + "QUILLFEN Maculo Pattern" +
        Property("LFea", 4) + Zeros(4);
    ASSERT_EQ(expected.size(), 298u);
    EXPECT_EQ(kProduced, expected);
}

}  // namespace
