// Text helpers the editors' files share.
#pragma once

#include <charconv>
#include <string>

namespace maculo {

// A number in as few digits as give it back exactly, without an exponent.
inline std::string ExactNumber(double v) {
    char text[400];
    return std::string(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr);
}

// Text inside XML attributes and elements.
inline std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Text inside a JavaScript string in single quotes.
inline std::string JsQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

}  // namespace maculo
