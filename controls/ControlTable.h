// The effect's controls, one row each, in the order hosts number them: what
// each front end declares, reads and shows. Nothing here speaks a host's
// language; each front end maps a control's kind onto its own vocabulary.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace maculo {

// The controls' numbers. Hosts put the input layer first, as number 0.
enum ControlIndex : int32_t {
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

enum class ControlKind {
    kChoice,       // one of a few named values, numbered from 1
    kNumber,       // any number in its range
    kWholeNumber,  // a whole number in its range
    kGroupStart,   // the controls up to the matching end fold together
    kGroupEnd,
};

// What a number counts.
enum class ControlUnit { kNone, kPixels, kPercent, kIterations };

// Which value of "Parameter Mode" shows a control.
enum class ShownIn { kAlways, kSimple, kDetail };

struct ValueRange {
    double validMin;
    double validMax;
    double sliderMin;
    double sliderMax;
};

struct Control {
    ControlIndex index;
    ControlKind kind;
    // The machine name that command lines and video tools use; group markers
    // have none.
    std::string_view name;
    const char* label;  // what the host's panel shows
    std::string_view help;
    ShownIn shownIn = ShownIn::kAlways;
    double defaultValue = 0.0;
    ValueRange range = {};
    ControlUnit unit = ControlUnit::kNone;
    int32_t decimals = 0;           // numbers: decimals shown
    const char* choices = nullptr;  // choices: their labels separated by " | "
    std::string_view symbol = {};   // numbers: the letter usage lines name the value by
};

// Sizes in pixels at full resolution.
inline constexpr ValueRange kPixelRange = {0.0, 200.0, 0.0, 100.0};

// One row a control, laid out by hand.
// clang-format off
inline constexpr Control kControls[] = {
    {kParamMode, ControlKind::kChoice, "mode", "Parameter Mode", "which controls set the pattern", ShownIn::kAlways,
     1.0, {}, ControlUnit::kNone, 0, "Simple | Detail"},
    {kParamBlur, ControlKind::kChoice, "blur", "Blur Mode", "pattern blur", ShownIn::kAlways, 2.0, {},
     ControlUnit::kNone, 0, "Box | Gaussian"},
    {kParamGray, ControlKind::kChoice, "gray", "Gray Mode", "gray conversion", ShownIn::kAlways, 2.0, {},
     ControlUnit::kNone, 0, "OFF | Before | After"},
    {kParamWidth, ControlKind::kNumber, "width", "Width", "pattern size in pixels", ShownIn::kSimple, 6.0,
     kPixelRange, ControlUnit::kPixels, 1, nullptr, "W"},
    {kParamBlurGroup, ControlKind::kGroupStart, "", "Blur Option", "", ShownIn::kDetail},
    {kParamBlurRadius, ControlKind::kNumber, "blur-radius", "Radius", "blur radius", ShownIn::kDetail, 6.0,
     kPixelRange, ControlUnit::kPixels, 1, nullptr, "R"},
    {kParamBlurGroupEnd, ControlKind::kGroupEnd, "", "", "", ShownIn::kDetail},
    {kParamSharpGroup, ControlKind::kGroupStart, "", "Sharp Option", "", ShownIn::kDetail},
    {kParamSharpRadius, ControlKind::kNumber, "sharp-radius", "Radius", "sharpen radius", ShownIn::kDetail, 6.0,
     kPixelRange, ControlUnit::kPixels, 1, nullptr, "R"},
    {kParamSharpen, ControlKind::kNumber, "sharpen", "Sharpen", "sharpening in percent", ShownIn::kDetail, 1000.0,
     {0.0, 10000.0, 0.0, 1000.0}, ControlUnit::kPercent, 2, nullptr, "S"},
    {kParamSharpGroupEnd, ControlKind::kGroupEnd, "", "", "", ShownIn::kDetail},
    {kParamAmount, ControlKind::kWholeNumber, "amount", "Amount", "iterations", ShownIn::kAlways, 32.0,
     {1.0, 1000.0, 1.0, 100.0}, ControlUnit::kIterations, 0, nullptr, "N"},
};
// clang-format on

constexpr bool IndexedInOrder() {
    for (size_t i = 0; i < std::size(kControls); ++i)
        if (kControls[i].index != ControlIndex(i + 1)) return false;
    return std::size(kControls) + 1 == kParamCount;
}
static_assert(IndexedInOrder(), "a row's index is its place in the table");

// Group markers carry no value.
constexpr bool CarriesValue(const Control& control) {
    return control.kind != ControlKind::kGroupStart && control.kind != ControlKind::kGroupEnd;
}

// The controls that carry a value, in table order: the order the plug-in
// reads them in and other front ends number them.
inline constexpr auto kValueControls = [] {
    std::array<const Control*, std::count_if(std::begin(kControls), std::end(kControls), CarriesValue)> controls{};
    size_t at = 0;
    for (const Control& control : kControls)
        if (CarriesValue(control)) controls[at++] = &control;
    return controls;
}();

constexpr int32_t ChoiceCount(const Control& control) {
    int32_t count = 1;
    for (const char* c = control.choices; *c != '\0'; ++c) count += *c == '|';
    return count;
}

// Whether Simple (or else Detail) mode shows the control.
constexpr bool ShownInMode(const Control& control, bool simple) {
    return control.shownIn == ShownIn::kAlways || (control.shownIn == ShownIn::kSimple) == simple;
}

// Controls start as the default mode shows them; Simple is the first choice.
constexpr bool ShownAtFirst(const Control& control) {
    return ShownInMode(control, kControls[kParamMode - 1].defaultValue == 1.0);
}

}  // namespace maculo
