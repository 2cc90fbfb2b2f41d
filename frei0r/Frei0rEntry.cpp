// The functions frei0r hosts look up by name. Nothing throws through them.
#include "frei0r/Frei0rApi.h"

#include "frei0r/FilterInstance.h"
#include "frei0r/FilterParams.h"
#include "resources/PluginInfo.h"

using maculo::FilterInstance;

namespace {

FilterInstance* InstanceOf(f0r_instance_t instance) { return static_cast<FilterInstance*>(instance); }

}  // namespace

extern "C" {

int f0r_init() { return maculo::PrepareFilterParams() ? 1 : 0; }

void f0r_deinit() {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    if (info == nullptr) return;
    info->name = maculo::kEffectName;
    info->author = maculo::kRegistrationCategory;
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = maculo::kVersionMajor;
    info->minor_version = maculo::kVersionMinor;
    info->num_params = maculo::kFilterParamCount;
    info->explanation = "Turns the picture into an organic labyrinth of spots and stripes";
}

void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    const maculo::Control* row = maculo::FilterParamRow(param_index);
    if (info != nullptr && row != nullptr) *info = maculo::FilterParamInfo(*row);
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    return FilterInstance::Create(width, height).release();
}

void f0r_destruct(f0r_instance_t instance) { delete InstanceOf(instance); }

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    if (instance != nullptr) InstanceOf(instance)->SetParam(param, param_index);
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    if (instance != nullptr) InstanceOf(instance)->GetParam(param, param_index);
}

void f0r_update(f0r_instance_t instance, double /*time*/, const uint32_t* inframe, uint32_t* outframe) {
    if (instance != nullptr) InstanceOf(instance)->Update(inframe, outframe);
}

}  // extern "C"
