#include <cstring>

#include "plugin/Commands.h"

namespace maculo {

namespace {

struct SliderRange {
    float validMin;
    float validMax;
    float sliderMin;
    float sliderMax;
};

// One row of the effect's controls. Disk ids are what projects store the
// values under, so they never change, even where they look odd ("Parameter
// Mode" shares id 3 with "Gray Mode").
struct ParamSpec {
    A_long id;
    PF_ParamType type;
    const char* name;
    PF_ParamFlags flags;
    PF_ParamUIFlags uiFlags;
    double defaultValue = 0.0;
    const char* choices = nullptr;  // popups: the choices separated by " | "
    A_short numChoices = 0;
    SliderRange range = {};
    PF_Precision precision = 0;  // float sliders: decimals shown
};

constexpr PF_ParamFlags kSkipReveal = PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN;
// The detail controls start hidden, matching the default mode Simple.
constexpr PF_ParamUIFlags kHidden = PF_PUI_INVISIBLE;

constexpr SliderRange kWidthRange = {0.0f, 200.0f, 0.0f, 100.0f};
constexpr SliderRange kSharpenRange = {0.0f, 10000.0f, 0.0f, 1000.0f};
constexpr SliderRange kAmountRange = {1.0f, 1000.0f, 1.0f, 100.0f};

constexpr ParamSpec RadiusSlider(A_long id)
{
    return {id, PF_Param_FLOAT_SLIDER, "Radius", kSkipReveal | PF_ParamFlag_COLLAPSE_TWIRLY, kHidden, 6.0, nullptr,
            0, kWidthRange, 1};
}

constexpr ParamSpec kParams[] = {
    {3, PF_Param_POPUP, "Parameter Mode", PF_ParamFlag_SUPERVISE, 0, 1.0, "Simple | Detail", 2},
    {2, PF_Param_POPUP, "Blur Mode", 0, 0, 2.0, "Box | Gaussian", 2},
    {3, PF_Param_POPUP, "Gray Mode", 0, 0, 2.0, "OFF | Before | After", 3},
    {4, PF_Param_FLOAT_SLIDER, "Width", kSkipReveal, 0, 6.0, nullptr, 0, kWidthRange, 1},
    {5, PF_Param_GROUP_START, "Blur Option", kSkipReveal, kHidden},
    RadiusSlider(6),
    {7, PF_Param_GROUP_END, "", kSkipReveal, kHidden},
    {8, PF_Param_GROUP_START, "Sharp Option", kSkipReveal, kHidden},
    RadiusSlider(9),
    {10, PF_Param_FLOAT_SLIDER, "Sharpen", kSkipReveal, kHidden, 1000.0, nullptr, 0, kSharpenRange, 2},
    {11, PF_Param_GROUP_END, "", kSkipReveal, kHidden},
    {12, PF_Param_SLIDER, "Amount", 0, 0, 32.0, nullptr, 0, kAmountRange},
};

// The host adds the input layer as parameter 0.
constexpr A_long kParamCount = 1 + sizeof kParams / sizeof kParams[0];

void FillDefinition(const ParamSpec& row, PF_ParamDef& def)
{
    std::memset(&def, 0, sizeof def);
    def.uu.id = row.id;
    def.param_type = row.type;
    def.flags = row.flags;
    def.ui_flags = row.uiFlags;
    // Bounded copy: the host's name field holds 31 characters and a zero.
    const std::size_t length = strnlen(row.name, sizeof def.name - 1);
    std::memcpy(def.name, row.name, length);
    def.name[length] = '\0';

    switch (row.type) {
    case PF_Param_POPUP: {
        PF_PopupDef& popup = def.u.pd;
        popup.value = static_cast<PF_ParamValue>(row.defaultValue);
        popup.dephault = static_cast<A_short>(row.defaultValue);
        popup.num_choices = row.numChoices;
        popup.u.namesptr = row.choices;
        break;
    }
    case PF_Param_FLOAT_SLIDER: {
        PF_FloatSliderDef& slider = def.u.fs_d;
        slider.value = row.defaultValue;
        slider.dephault = static_cast<PF_FpShort>(row.defaultValue);
        slider.valid_min = row.range.validMin;
        slider.valid_max = row.range.validMax;
        slider.slider_min = row.range.sliderMin;
        slider.slider_max = row.range.sliderMax;
        slider.precision = row.precision;
        slider.curve_tolerance = 0.05f;
        break;
    }
    case PF_Param_SLIDER: {
        PF_SliderDef& slider = def.u.sd;
        slider.value = static_cast<PF_ParamValue>(row.defaultValue);
        slider.dephault = static_cast<PF_ParamValue>(row.defaultValue);
        slider.valid_min = static_cast<PF_ParamValue>(row.range.validMin);
        slider.valid_max = static_cast<PF_ParamValue>(row.range.validMax);
        slider.slider_min = static_cast<PF_ParamValue>(row.range.sliderMin);
        slider.slider_max = static_cast<PF_ParamValue>(row.range.sliderMax);
        break;
    }
    default:  // group starts and ends carry no value
        break;
    }
}

}  // namespace

PF_Err ParamsSetup(const PF_InData& in_data, PF_OutData& out_data)
{
    PF_ParamDef def;
    for (const ParamSpec& row : kParams) {
        FillDefinition(row, def);
        if (const PF_Err err = in_data.inter.add_param(in_data.effect_ref, PF_ParamIndex_NONE /*append*/, &def)) {
            return err;
        }
    }
    out_data.num_params = kParamCount;
    return PF_Err_NONE;
}

}  // namespace maculo
