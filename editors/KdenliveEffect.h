// Kdenlive's description of the filter (share/kdenlive/effects/): without
// it Kdenlive lists the filter under "Misc" with its choices fixed and its
// numbers as plain 0 to 1 fields.
#pragma once

#include <string>
#include <vector>

#include "editors/EditorParams.h"

namespace maculo {

inline constexpr char kKdenliveEffectFile[] = "frei0r_maculo_pattern.xml";

std::string KdenliveEffect(const std::vector<EditorParam>& params);

}  // namespace maculo
