#include "frei0r/ParamMistakes.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "controls/ChoiceNames.h"

namespace maculo {
namespace {

std::string Param(const Control& row) { return std::string(row.name); }

// The host's number and the control's value it stands for: "0.03 (Width 6)".
std::string Value(const Control& row, double control) {
    return Number(UnitFromControl(row, control)) + " (" + row.label + " " + Number(control) + ")";
}

}  // namespace

std::string UnknownChoiceLine(const Control& row, const char* given, int kept) {
    std::string line = Param(row) + " \"" + given + "\" names no choice (";
    const std::vector<std::string> names = ChoiceNames(row);
    for (size_t i = 0; i < names.size(); ++i) line += (i == 0 ? "" : ", ") + names[i];
    line += "); kept " + std::string(ChoiceName(row, kept));
    // ffmpeg's filter_params are positional: "width=0.05" lands in the first one.
    if (std::strchr(given, '=') != nullptr) line += "; ffmpeg takes the parameters by position, '|' between them";
    return line;
}

std::string NotANumberLine(const Control& row, double kept) {
    return Param(row) + " is not a number; kept " + Value(row, kept);
}

std::string OutOfRangeLine(const Control& row, double given, double took) {
    return Param(row) + " " + Number(given) + " is outside 0 to 1; took " + Value(row, took);
}

std::string BadFullWidthLine(double given, double kept) {
    return std::string(kFullWidthName) + " " + Number(given) +
           " is not a width in pixels (0 for the frame's own, or 1 and more); kept " + Number(kept);
}

void ParamMistakes::Write(const std::string& line) noexcept {
    std::fprintf(stderr, "maculo_pattern: %s\n", line.c_str());
}

}  // namespace maculo
