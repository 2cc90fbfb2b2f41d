#include "frei0r/FilterInstance.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/ControlSettings.h"
#include "engine/DepthConversion.h"
#include "engine/PatternCpu.h"
#include "frei0r/FilterParams.h"

namespace maculo {

FilterInstance::FilterInstance(const ImageDims& dims) noexcept : dims_(dims), values_(DefaultValues()) {}

FilterInstance::Image FilterInstance::NewImage() const noexcept {
    const size_t count = size_t(dims_.pitch) * size_t(dims_.height);
    // Cache-line aligned, as the host's own worlds are.
    return Image(static_cast<PixelF*>(::operator new[](count * sizeof(PixelF), std::align_val_t(64), std::nothrow)));
}

std::unique_ptr<FilterInstance> FilterInstance::Create(unsigned width, unsigned height) noexcept {
    constexpr unsigned kMaxSide = std::numeric_limits<int32_t>::max();
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    // The three images must be addressable: 16 bytes a pixel, three times.
    if (uint64_t(width) * height > std::numeric_limits<size_t>::max() / (3 * sizeof(PixelF))) return nullptr;
    std::unique_ptr<FilterInstance> instance(new (std::nothrow)
                                                 FilterInstance({int32_t(width), int32_t(height), int32_t(width)}));
    if (instance == nullptr) return nullptr;
    instance->input_ = instance->NewImage();
    instance->blurred_ = instance->NewImage();
    instance->pattern_ = instance->NewImage();
    if (!instance->input_ || !instance->blurred_ || !instance->pattern_) return nullptr;
    return instance;
}

void FilterInstance::SetParam(const void* param, int index) noexcept {
    const Control* row = FilterParamRow(index);
    if (row == nullptr || param == nullptr) return;
    const std::lock_guard hold(lock_);
    if (row->kind == ControlKind::kChoice) {
        if (const int choice = ChoiceFromName(*row, *static_cast<const f0r_param_string*>(param)))
            values_[row->index] = choice;
    } else {
        const double value = ControlFromUnit(*row, *static_cast<const f0r_param_double*>(param));
        if (!std::isnan(value)) values_[row->index] = value;
    }
}

void FilterInstance::GetParam(void* param, int index) const noexcept {
    const Control* row = FilterParamRow(index);
    if (row == nullptr || param == nullptr) return;
    const std::lock_guard hold(lock_);
    const double value = values_[row->index];
    if (row->kind == ControlKind::kChoice) {
        *static_cast<f0r_param_string*>(param) = const_cast<char*>(ChoiceName(*row, int(value)));
    } else {
        *static_cast<f0r_param_double*>(param) = UnitFromControl(*row, value);
    }
}

void FilterInstance::Update(const uint32_t* in, uint32_t* out) noexcept {
    if (in == nullptr || out == nullptr) return;
    const std::lock_guard hold(lock_);
    const auto* source = static_cast<const PixelRgba8*>(static_cast<const void*>(in));
    auto* result = static_cast<PixelRgba8*>(static_cast<void*>(out));
    const PatternSettings settings = SettingsFromControls(PatternControlsOf(values_), 1, false);
    ConvertToWorking(source, input_.get(), dims_, dims_);
    if (RunPatternCpu(input_.get(), blurred_.get(), pattern_.get(), dims_, settings, {}, &workspace_).status ==
        PatternStatus::kDone) {
        ConvertFromWorking(pattern_.get(), result, dims_);
    } else if (out != in) {
        // The engine ran out of memory for its tables: the frame passes
        // unchanged rather than as whatever the host's buffer held.
        std::memcpy(out, in, size_t(dims_.width) * size_t(dims_.height) * sizeof(uint32_t));
    }
}

}  // namespace maculo
