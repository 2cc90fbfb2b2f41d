// Shotcut's description of the filter: a folder under
// share/shotcut/qml/filters/ with its metadata and the panel's UI. Without
// them Shotcut does not list the filter at all.
#pragma once

#include <string>
#include <vector>

#include "editors/EditorParams.h"

namespace maculo {

inline constexpr char kShotcutFolder[] = "maculo_pattern";

std::string ShotcutMetadata(const std::vector<EditorParam>& params);

// The panel: `uiTemplate` with its @PARAMETERS@ line replaced by the
// parameters as JavaScript data.
std::string ShotcutUi(const std::vector<EditorParam>& params, const std::string& uiTemplate);

}  // namespace maculo
