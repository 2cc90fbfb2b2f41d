#include <cstring>

#include "plugin/Commands.h"
#include "plugin/ControlTable.h"

namespace maculo {

namespace {

void FillDefinition(const ControlRow& row, PF_ParamDef& def) {
    std::memset(&def, 0, sizeof def);
    def.uu.id = row.diskId;
    def.param_type = row.type;
    def.flags = row.flags;
    def.ui_flags = UiFlagsOf(row);
    // Bounded copy: the host's name field holds 31 characters and a zero.
    const std::size_t length = strnlen(row.name, sizeof def.name - 1);
    std::memcpy(def.name, row.name, length);
    def.name[length] = '\0';

    switch (row.type) {
        case PF_Param_POPUP: {
            PF_PopupDef& popup = def.u.pd;
            popup.value = static_cast<PF_ParamValue>(row.dephault);
            popup.dephault = static_cast<A_short>(row.dephault);
            popup.num_choices = ChoiceCount(row);
            popup.u.namesptr = row.choices;
            break;
        }
        case PF_Param_FLOAT_SLIDER: {
            PF_FloatSliderDef& slider = def.u.fs_d;
            slider.value = row.dephault;
            slider.dephault = static_cast<PF_FpShort>(row.dephault);
            slider.valid_min = static_cast<PF_FpShort>(row.range.validMin);
            slider.valid_max = static_cast<PF_FpShort>(row.range.validMax);
            slider.slider_min = static_cast<PF_FpShort>(row.range.sliderMin);
            slider.slider_max = static_cast<PF_FpShort>(row.range.sliderMax);
            slider.precision = row.precision;
            slider.curve_tolerance = 0.05f;
            break;
        }
        case PF_Param_SLIDER: {
            PF_SliderDef& slider = def.u.sd;
            slider.value = static_cast<PF_ParamValue>(row.dephault);
            slider.dephault = static_cast<PF_ParamValue>(row.dephault);
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

PF_Err ParamsSetup(const PF_InData& in_data, PF_OutData& out_data) {
    PF_ParamDef def;
    for (const ControlRow& row : kControls) {
        FillDefinition(row, def);
        if (const PF_Err err = in_data.inter.add_param(in_data.effect_ref, PF_ParamIndex_NONE /*append*/, &def)) {
            return err;
        }
    }
    out_data.num_params = kParamCount;
    return PF_Err_NONE;
}

}  // namespace maculo
