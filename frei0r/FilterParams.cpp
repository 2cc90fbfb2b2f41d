#include "frei0r/FilterParams.h"

#include <strings.h>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "controls/ChoiceNames.h"

namespace maculo {
namespace {

// Numbers as people read them: 200, 6, 0.03.
std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// What a parameter's explanation says: the control, what it does, how the
// host's value maps onto it, and its default.
std::string ExplanationOf(const Control& row) {
    std::string text = std::string(row.label) + ": " + std::string(row.help);
    if (row.shownIn != ShownIn::kAlways) text += row.shownIn == ShownIn::kSimple ? " (simple mode)" : " (detail mode)";
    if (row.kind == ControlKind::kChoice) {
        const std::vector<std::string> names = ChoiceNames(row);
        text += "; one of";
        for (const std::string& name : names) text += " " + name;
        return text + "; default " + names.at(size_t(row.defaultValue) - 1);
    }
    const ValueRange& r = row.range;
    text += "; 0 to 1 maps linearly onto " + Number(r.validMin) + " to " + Number(r.validMax) + " (" +
            Number(r.validMin) + " + value x " + Number(r.validMax - r.validMin) + ")";
    if (row.kind == ControlKind::kWholeNumber) text += ", rounded to the nearest whole number";
    return text + "; default " + Number(row.defaultValue) + " (" + Number(UnitFromControl(row, row.defaultValue)) + ")";
}

// Everything the parameters say of themselves, made once.
struct ParamTexts {
    std::array<std::string, kFilterParamCount> names;
    std::array<std::string, kFilterParamCount> explanations;
    std::array<std::vector<std::string>, kFilterParamCount> choices;

    ParamTexts() {
        for (int i = 0; i < kFilterParamCount; ++i) {
            const Control& row = *kValueControls[size_t(i)];
            names[i] = row.name;
            explanations[i] = ExplanationOf(row);
            if (row.kind == ControlKind::kChoice) choices[i] = ChoiceNames(row);
        }
    }
};

const ParamTexts& Texts() {
    static const ParamTexts texts;
    return texts;
}

int IndexOf(const Control& row) {
    int index = 0;
    while (kValueControls[size_t(index)] != &row) ++index;
    return index;
}

}  // namespace

bool PrepareFilterParams() noexcept {
    try {
        Texts();
        return true;
    } catch (...) {
        return false;
    }
}

const Control* FilterParamRow(int index) {
    return index >= 0 && index < kFilterParamCount ? kValueControls[size_t(index)] : nullptr;
}

f0r_param_info_t FilterParamInfo(const Control& row) {
    const int i = IndexOf(row);
    return {Texts().names[i].c_str(), row.kind == ControlKind::kChoice ? F0R_PARAM_STRING : F0R_PARAM_DOUBLE,
            Texts().explanations[i].c_str()};
}

double ControlFromUnit(const Control& row, double unit) {
    if (std::isnan(unit)) return unit;
    const double t = unit < 0.0 ? 0.0 : unit > 1.0 ? 1.0 : unit;
    const double v = row.range.validMin + t * (row.range.validMax - row.range.validMin);
    return row.kind == ControlKind::kWholeNumber ? std::round(v) : v;
}

double UnitFromControl(const Control& row, double value) {
    return (value - row.range.validMin) / (row.range.validMax - row.range.validMin);
}

int ChoiceFromName(const Control& row, const char* name) {
    if (name == nullptr) return 0;
    const std::vector<std::string>& names = Texts().choices[IndexOf(row)];
    for (size_t i = 0; i < names.size(); ++i)
        if (strcasecmp(names[i].c_str(), name) == 0) return int(i + 1);
    return 0;
}

const char* ChoiceName(const Control& row, int value) {
    const std::vector<std::string>& names = Texts().choices[IndexOf(row)];
    return value >= 1 && size_t(value) <= names.size() ? names[size_t(value) - 1].c_str() : "";
}

}  // namespace maculo
