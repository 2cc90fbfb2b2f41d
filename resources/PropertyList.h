// The plug-in property list the host reads before it loads the library
// (Windows resource type "PIPL", id 16000, language 1033), built at compile
// time from PluginInfo.h. Little-endian throughout; four-character codes are
// numbers whose most significant byte is the first character.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "resources/PluginInfo.h"

namespace maculo {

inline constexpr size_t kPropertyListSize = 298;
inline constexpr uint16_t kPropertyListResourceId = 16000;
inline constexpr uint16_t kPropertyListLanguage = 1033;

namespace property_list {

class Writer {
public:
    constexpr void U8(uint8_t value) { bytes_.at(size_++) = value; }
    constexpr void U16(uint16_t value) {
        U8(static_cast<uint8_t>(value));
        U8(static_cast<uint8_t>(value >> 8));
    }
    constexpr void U32(uint32_t value) {
        U16(static_cast<uint16_t>(value));
        U16(static_cast<uint16_t>(value >> 16));
    }
    constexpr void Code(const char (&code)[5]) { U32(static_cast<uint32_t>(FourCharCode(code))); }
    constexpr void Zeros(size_t count) {
        for (size_t i = 0; i < count; ++i) U8(0);
    }
    constexpr void Chars(std::string_view text) {
        for (char c : text) U8(static_cast<uint8_t>(c));
    }

    // Vendor, key, id 0 and the data length; the data follows.
    constexpr void Header(const char (&key)[5], uint32_t length) {
        Code("8BIM");
        Code(key);
        U32(0);
        U32(length);
    }
    constexpr void Number(const char (&key)[5], uint32_t value) {
        Header(key, 4);
        U32(value);
    }
    // Length byte and characters, zero-filled to a multiple of 4; the stated
    // length includes the fill.
    constexpr void PascalString(const char (&key)[5], std::string_view text) {
        const uint32_t length = RoundUp4(1 + static_cast<uint32_t>(text.size()));
        Header(key, length);
        U8(static_cast<uint8_t>(text.size()));
        Chars(text);
        Zeros(length - 1 - text.size());
    }
    // Characters and a terminating zero, zero-filled to a multiple of 4.
    constexpr void CString(const char (&key)[5], std::string_view text) {
        const uint32_t length = RoundUp4(static_cast<uint32_t>(text.size()) + 1);
        Header(key, length);
        Chars(text);
        Zeros(length - text.size());
    }

    constexpr size_t Size() const { return size_; }
    constexpr const std::array<uint8_t, kPropertyListSize>& Bytes() const { return bytes_; }

private:
    static constexpr uint32_t RoundUp4(uint32_t n) { return (n + 3) / 4 * 4; }

    std::array<uint8_t, kPropertyListSize> bytes_{};
    size_t size_ = 0;
};

constexpr std::array<uint8_t, kPropertyListSize> Build() {
    Writer w;
    w.U16(1);   // resource kind
    w.U32(0);   // list version
    w.U32(12);  // property count
    w.Number("kind", static_cast<uint32_t>(FourCharCode("eFKT")));
    w.PascalString("name", kEffectName);
    w.PascalString("catg", kPropertyListCategory);
    w.CString("8664", kEntryPointName);
    w.Header("ePVR", 4);  // property-list version 2.0
    w.U16(2);
    w.U16(0);
    w.Header("eSVR", 4);
    w.U16(static_cast<uint16_t>(kInterfaceVersionMajor));
    w.U16(static_cast<uint16_t>(kInterfaceVersionMinor));
    w.Number("eVER", kPluginVersion);
    w.Header("eINF", 2);  // the two fill bytes lie outside the stated length
    w.U16(0);
    w.Zeros(2);
    w.Number("eGLO", static_cast<uint32_t>(kGlobalOutFlags));
    w.Number("eGL2", static_cast<uint32_t>(kGlobalOutFlags2));
    w.PascalString("eMNA", kMatchName);
    w.Number("aeFL", 0);
    if (w.Size() != kPropertyListSize) throw "property list size differs from its declared size";
    return w.Bytes();
}

}  // namespace property_list

inline constexpr std::array<uint8_t, kPropertyListSize> kPropertyList = property_list::Build();

}  // namespace maculo
