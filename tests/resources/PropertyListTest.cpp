#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources/PropertyList.h"

namespace {

// Assembles the documented layout by hand, independently of the generator:
// four-character codes are typed in file order (reversed), numbers byte by byte.
class Expected {
public:
    Expected& Raw(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    Expected& Bytes(std::initializer_list<int> values) {
        for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Expected& Zeros(int count) {
        bytes.insert(bytes.end(), static_cast<size_t>(count), 0);
        return *this;
    }
    // Vendor 8BIM, the key as it lies in the file, id 0, one-byte length.
    Expected& Property(const std::string& reversedKey, int length) {
        return Raw("MIB8").Raw(reversedKey).Zeros(4).Bytes({length, 0, 0, 0});
    }
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> DocumentedList() {
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
    return e.bytes;
}

// Offset of a property's data, found by walking the list's own lengths.
size_t DataOffset(const std::vector<uint8_t>& list, const std::string& reversedKey) {
    size_t at = 10;
    while (at + 16 <= list.size()) {
        const std::string key(list.begin() + static_cast<long>(at) + 4, list.begin() + static_cast<long>(at) + 8);
        const size_t length = list[at + 12] | list[at + 13] << 8 | list[at + 14] << 16 | list[at + 15] << 24;
        if (key == reversedKey) return at + 16;
        at += 16 + (length + 3) / 4 * 4;
    }
    return 0;
}

TEST(PropertyList, MatchesTheDocumentedLayoutByteForByte) {
    const std::vector<uint8_t> expected = DocumentedList();
    ASSERT_EQ(expected.size(), 298u);
    const std::vector<uint8_t> produced(maculo::kPropertyList.begin(), maculo::kPropertyList.end());
    ASSERT_EQ(produced.size(), 298u);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(produced[i], expected[i]) << "byte " << i;
}

TEST(PropertyList, StringPropertiesCarryTheirLengthBytes) {
    const std::vector<uint8_t> list(maculo::kPropertyList.begin(), maculo::kPropertyList.end());
    const size_t name = DataOffset(list, "eman");
    const size_t matchName = DataOffset(list, "ANMe");
    ASSERT_NE(name, 0u);
    ASSERT_NE(matchName, 0u);
    EXPECT_EQ(list[name], 14);
    EXPECT_EQ(list[matchName], 23);
}

TEST(PropertyList, DeclaredFlagsAndVersionAreThoseInTheList) {
    const std::vector<uint8_t> list(maculo::kPropertyList.begin(), maculo::kPropertyList.end());
    auto number = [&](const char* key) {
        const size_t at = DataOffset(list, key);
        return static_cast<uint32_t>(list[at] | list[at + 1] << 8 | list[at + 2] << 16 | list[at + 3] << 24);
    };
    EXPECT_EQ(number("OLGe"), static_cast<uint32_t>(maculo::kGlobalOutFlags));
    EXPECT_EQ(number("2LGe"), static_cast<uint32_t>(maculo::kGlobalOutFlags2));
    EXPECT_EQ(number("REVe"), maculo::kPluginVersion);
    EXPECT_EQ(maculo::kGlobalOutFlags, 0x6000000);
    EXPECT_EQ(maculo::kGlobalOutFlags2, 0xA001408);
    EXPECT_EQ(maculo::kPluginVersion, 0x88601u);
}

TEST(PropertyList, GeneratorWritesExactlyTheCompiledBytes) {
    const std::string path = ::testing::TempDir() + "maculo_test.pipl";
    const std::string command = std::string(MACULO_PIPL_GEN) + " " + path;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    EXPECT_EQ(written, std::vector<uint8_t>(maculo::kPropertyList.begin(), maculo::kPropertyList.end()));
}

TEST(PropertyList, GeneratorFailsLoudlyOnAnUnwritablePath) {
    const std::string command = std::string(MACULO_PIPL_GEN) + " /nonexistent-dir/x.pipl 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
}

}  // namespace
