// The effect's controls, one row each, in the order the host numbers them:
// what parameter setup declares, what pre-render reads, what the mode shows,
// and how the command-line renderer names and explains them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "hostapi/HostConstants.h"

namespace maculo {

// Parameter indices. The host adds the input layer as parameter 0.
enum ParamIndex : PF_ParamIndex {
    kParamMode = 1,
    kParamBlur,
    kParamGray,
    kParamWidth,
    kParamBlurGroup,
    kParamBlurRadius,
    kParamBlurGroupEnd,
    kParamSharpGroup,
    kParamSharpRadius,
    kParamSharpen,
    kParamSharpGroupEnd,
    kParamAmount,
    kParamCount,
};

// Which value of "Parameter Mode" shows a control.
enum class ShownIn { kAlways, kSimple, kDetail };

struct ValueRange {
    double validMin;
    double validMax;
    double sliderMin;
    double sliderMax;
};

// The control as an option of the command-line renderer; an empty name keeps
// it off the command line.
struct CliOption {
    std::string_view name;
    std::string_view metavar;  // numbers only: popups list their choices
    std::string_view help;     // the range and default are added to it
};

struct ControlRow {
    ParamIndex index;
    // What projects store the value under, so it never changes, even where it
    // looks odd ("Parameter Mode" shares id 3 with "Gray Mode").
    A_long diskId;
    PF_ParamType type;
    const char* name;
    PF_ParamFlags flags;
    ShownIn shownIn;
    double dephault = 0.0;
    ValueRange range = {};
    PF_Precision precision = 0;     // float sliders: decimals shown
    const char* choices = nullptr;  // popups: the choices separated by " | "
    CliOption cli = {};
};

inline constexpr PF_ParamFlags kSkipReveal = PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN;
// Sizes in pixels at full resolution.
inline constexpr ValueRange kPixelRange = {0.0, 200.0, 0.0, 100.0};

// One row a control, laid out by hand.
// clang-format off
inline constexpr ControlRow kControls[] = {
    {kParamMode, 3, PF_Param_POPUP, "Parameter Mode", PF_ParamFlag_SUPERVISE, ShownIn::kAlways, 1.0, {}, 0,
     "Simple | Detail", {"mode", "", "which controls set the pattern"}},
    {kParamBlur, 2, PF_Param_POPUP, "Blur Mode", 0, ShownIn::kAlways, 2.0, {}, 0, "Box | Gaussian",
     {"blur", "", "pattern blur"}},
    {kParamGray, 3, PF_Param_POPUP, "Gray Mode", 0, ShownIn::kAlways, 2.0, {}, 0, "OFF | Before | After",
     {"gray", "", "gray conversion"}},
    {kParamWidth, 4, PF_Param_FLOAT_SLIDER, "Width", kSkipReveal, ShownIn::kSimple, 6.0, kPixelRange, 1, nullptr,
     {"width", "W", "pattern size in pixels"}},
    {kParamBlurGroup, 5, PF_Param_GROUP_START, "Blur Option", kSkipReveal, ShownIn::kDetail},
    {kParamBlurRadius, 6, PF_Param_FLOAT_SLIDER, "Radius", kSkipReveal | PF_ParamFlag_COLLAPSE_TWIRLY,
     ShownIn::kDetail, 6.0, kPixelRange, 1, nullptr, {"blur-radius", "R", "blur radius"}},
    {kParamBlurGroupEnd, 7, PF_Param_GROUP_END, "", kSkipReveal, ShownIn::kDetail},
    {kParamSharpGroup, 8, PF_Param_GROUP_START, "Sharp Option", kSkipReveal, ShownIn::kDetail},
    {kParamSharpRadius, 9, PF_Param_FLOAT_SLIDER, "Radius", kSkipReveal | PF_ParamFlag_COLLAPSE_TWIRLY,
     ShownIn::kDetail, 6.0, kPixelRange, 1, nullptr, {"sharp-radius", "R", "sharpen radius"}},
    {kParamSharpen, 10, PF_Param_FLOAT_SLIDER, "Sharpen", kSkipReveal, ShownIn::kDetail, 1000.0,
     {0.0, 10000.0, 0.0, 1000.0}, 2, nullptr, {"sharpen", "S", "sharpening in percent"}},
    {kParamSharpGroupEnd, 11, PF_Param_GROUP_END, "", kSkipReveal, ShownIn::kDetail},
    {kParamAmount, 12, PF_Param_SLIDER, "Amount", 0, ShownIn::kAlways, 32.0, {1.0, 1000.0, 1.0, 100.0}, 0, nullptr,
     {"amount", "N", "iterations"}},
};
// clang-format on

constexpr bool IndexedInOrder() {
    for (size_t i = 0; i < std::size(kControls); ++i)
        if (kControls[i].index != PF_ParamIndex(i + 1)) return false;
    return std::size(kControls) + 1 == kParamCount;
}
static_assert(IndexedInOrder(), "a row's index is its place in the table");

// Group markers carry no value.
constexpr bool CarriesValue(const ControlRow& row) {
    return row.type == PF_Param_POPUP || row.type == PF_Param_FLOAT_SLIDER || row.type == PF_Param_SLIDER;
}

// The controls that carry a value, in table order: the order the plug-in
// reads them in and other front ends number them.
inline constexpr auto kValueControls = [] {
    std::array<const ControlRow*, std::count_if(std::begin(kControls), std::end(kControls), CarriesValue)> rows{};
    size_t at = 0;
    for (const ControlRow& row : kControls)
        if (CarriesValue(row)) rows[at++] = &row;
    return rows;
}();

constexpr A_short ChoiceCount(const ControlRow& row) {
    A_short count = 1;
    for (const char* c = row.choices; *c != '\0'; ++c) count += *c == '|';
    return count;
}

// Whether Simple (or else Detail) mode shows the control.
constexpr bool ShownInMode(const ControlRow& row, bool simple) {
    return row.shownIn == ShownIn::kAlways || (row.shownIn == ShownIn::kSimple) == simple;
}

// Controls start as the default mode shows them; Simple is the first choice.
constexpr PF_ParamUIFlags UiFlagsOf(const ControlRow& row) {
    return ShownInMode(row, kControls[kParamMode - 1].dephault == 1.0) ? 0 : PF_PUI_INVISIBLE;
}

}  // namespace maculo
