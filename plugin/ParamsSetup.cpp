#include <cstring>

#include "plugin/Commands.h"
#include "plugin/HostParams.h"

namespace maculo {

namespace {

void FillDefinition(const Control& control, PF_ParamDef& def) {
    std::memset(&def, 0, sizeof def);
    def.uu.id = HostParamOf(control).diskId;
    def.param_type = ParamTypeOf(control.kind);
    def.flags = HostParamOf(control).flags;
    def.ui_flags = UiFlagsOf(control);
    // Bounded copy: the host's name field holds 31 characters and a zero.
    const std::size_t length = strnlen(control.label, sizeof def.name - 1);
    std::memcpy(def.name, control.label, length);
    def.name[length] = '\0';

    switch (control.kind) {
        case ControlKind::kChoice: {
            PF_PopupDef& popup = def.u.pd;
            popup.value = static_cast<PF_ParamValue>(control.defaultValue);
            popup.dephault = static_cast<A_short>(control.defaultValue);
            popup.num_choices = static_cast<A_short>(ChoiceCount(control));
            popup.u.namesptr = control.choices;
            break;
        }
        case ControlKind::kNumber: {
            PF_FloatSliderDef& slider = def.u.fs_d;
            slider.value = control.defaultValue;
            slider.dephault = static_cast<PF_FpShort>(control.defaultValue);
            slider.valid_min = static_cast<PF_FpShort>(control.range.validMin);
            slider.valid_max = static_cast<PF_FpShort>(control.range.validMax);
            slider.slider_min = static_cast<PF_FpShort>(control.range.sliderMin);
            slider.slider_max = static_cast<PF_FpShort>(control.range.sliderMax);
            slider.precision = static_cast<PF_Precision>(control.decimals);
            slider.curve_tolerance = 0.05f;
            break;
        }
        case ControlKind::kWholeNumber: {
            PF_SliderDef& slider = def.u.sd;
            slider.value = static_cast<PF_ParamValue>(control.defaultValue);
            slider.dephault = static_cast<PF_ParamValue>(control.defaultValue);
            slider.valid_min = static_cast<PF_ParamValue>(control.range.validMin);
            slider.valid_max = static_cast<PF_ParamValue>(control.range.validMax);
            slider.slider_min = static_cast<PF_ParamValue>(control.range.sliderMin);
            slider.slider_max = static_cast<PF_ParamValue>(control.range.sliderMax);
            break;
        }
        case ControlKind::kGroupStart:  // group markers carry no value
        case ControlKind::kGroupEnd:
            break;
    }
}

}  // namespace

PF_Err ParamsSetup(const PF_InData& in_data, PF_OutData& out_data) {
    PF_ParamDef def;
    for (const Control& control : kControls) {
        FillDefinition(control, def);
        if (const PF_Err err = in_data.inter.add_param(in_data.effect_ref, PF_ParamIndex_NONE /*append*/, &def)) {
            return err;
        }
    }
    out_data.num_params = kParamCount;
    return PF_Err_NONE;
}

}  // namespace maculo
