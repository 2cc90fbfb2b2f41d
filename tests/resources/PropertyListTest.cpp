#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources/PropertyList.h"

namespace {

// The documented layout assembled by hand, independently of the generator:
// four-character codes are typed in file order (reversed), numbers byte by byte.
struct Expected {
    std::vector<uint8_t> bytes;

    Expected& Raw(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    Expected& Bytes(std::initializer_list<int> values) {
        for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Expected& Zeros(int count) {
        bytes.resize(bytes.size() + static_cast<size_t>(count));
        return *this;
    }
    // Vendor 8BIM, the key as it lies in the file, id 0, one-byte length.
    Expected& Property(const std::string& reversedKey, int length) {
        return Raw("MIB8").Raw(reversedKey).Zeros(4).Bytes({length, 0, 0, 0});
    }
};

const std::vector<uint8_t> kProduced(maculo::kPropertyList.begin(), maculo::kPropertyList.end());

// A property's data: after vendor, key, id and length.
size_t DataOffset(const std::string& reversedKey) {
    const std::string head = "MIB8" + reversedKey;
    return static_cast<size_t>(std::search(kProduced.begin(), kProduced.end(), head.begin(), head.end()) -
                               kProduced.begin()) + 16;
}

uint32_t NumberAt(size_t at) {
    return static_cast<uint32_t>(kProduced.at(at) | kProduced.at(at + 1) << 8 | kProduced.at(at + 2) << 16 |
                                 kProduced.at(at + 3) << 24);
}

TEST(PropertyList, MatchesTheDocumentedLayoutByteForByte) {
    Expected e;
    e.Bytes({1, 0}).Zeros(4).Bytes({12, 0, 0, 0});
    e.Property("dnik", 4).Raw("TKFe");
    e.Property("eman", 16).Bytes({14}).Raw("Maculo Pattern").Zeros(1);
    e.Property("gtac", 12).Bytes({8}).Raw("quillfen").Zeros(3);
    e.Property("4668", 12).Raw("EffectMain").Zeros(2);
    e.Property("RVPe", 4).Bytes({2, 0, 0, 0});
    e.Property("RVSe", 4).Bytes({13, 0, 28, 0});
    e.Property("REVe", 4).Bytes({0x01, 0x86, 0x08, 0x00});
    e.Property("FNIe", 2).Zeros(4);
    e.Property("OLGe", 4).Bytes({0x00, 0x00, 0x00, 0x06});
    e.Property("2LGe", 4).Bytes({0x08, 0x14, 0x00, 0x0A});
    e.Property("ANMe", 24).Bytes({23}).Raw("QUILLFEN Maculo Pattern");
    e.Property("LFea", 4).Zeros(4);
    ASSERT_EQ(e.bytes.size(), 298u);
    ASSERT_EQ(kProduced.size(), 298u);
    for (size_t i = 0; i < e.bytes.size(); ++i) EXPECT_EQ(kProduced[i], e.bytes[i]) << "byte " << i;
}

// Found through the list's own keys: the strings' length bytes, and the flags
// and version the effect declares at global setup.
TEST(PropertyList, LengthBytesFlagsAndVersionAreWhereTheHostReadsThem) {
    EXPECT_EQ(kProduced.at(DataOffset("eman")), 14);
    EXPECT_EQ(kProduced.at(DataOffset("ANMe")), 23);
    EXPECT_EQ(NumberAt(DataOffset("OLGe")), static_cast<uint32_t>(maculo::kGlobalOutFlags));
    EXPECT_EQ(NumberAt(DataOffset("2LGe")), static_cast<uint32_t>(maculo::kGlobalOutFlags2));
    EXPECT_EQ(NumberAt(DataOffset("REVe")), maculo::kPluginVersion);
}

TEST(PropertyList, GeneratorWritesExactlyTheCompiledBytesOrFailsLoudly) {
    const std::string path = ::testing::TempDir() + "maculo_test.pipl";
    ASSERT_EQ(std::system((std::string(MACULO_PIPL_GEN) + " " + path).c_str()), 0);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    EXPECT_EQ(written, kProduced);
    EXPECT_NE(std::system((std::string(MACULO_PIPL_GEN) + " /nonexistent-dir/x.pipl 2>/dev/null").c_str()), 0);
}

}  // namespace
