// What a host sent that no parameter can take, said once per parameter and
// instance on the host's standard error: hosts set every parameter on every
// frame, and a line per frame would bury everything else.
#pragma once

#include <bitset>
#include <string>

#include "frei0r/FilterParams.h"

namespace maculo {

// The lines, each naming the parameter, what it was given and what it kept.
std::string UnknownChoiceLine(const Control& row, const char* given, int kept);
std::string NotANumberLine(const Control& row, double kept);
std::string OutOfRangeLine(const Control& row, double given, double took);
std::string BadFullWidthLine(double given, double kept);

class ParamMistakes {
public:
    // Writes the line made by `line` unless one was written for the parameter.
    template <typename MakeLine>
    void Say(int index, MakeLine line) noexcept {
        if (index < 0 || index >= kFilterParamCount || said_.test(size_t(index))) return;
        said_.set(size_t(index));
        try {
            Write(line());
        } catch (...) {
            // Out of memory for the text: the value is still kept, unsaid.
        }
    }

private:
    static void Write(const std::string& line) noexcept;

    std::bitset<kFilterParamCount> said_;
};

}  // namespace maculo
