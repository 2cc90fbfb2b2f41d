// The effect's controls as frei0r parameters: one per control that carries a
// value, numbered in table order. Numbers travel as doubles from 0 to 1 laid
// linearly over the control's valid range, popups as their choice names.
#pragma once

#include "frei0r/Frei0rApi.h"

#include "controls/ControlTable.h"

namespace maculo {

inline constexpr int kFilterParamCount = int(kValueControls.size());

// Makes the parameters' texts, which the calls below read; false when
// memory runs out. Call it first: the calls below would throw instead.
bool PrepareFilterParams() noexcept;

// The row behind a parameter number, or nullptr outside 0 ... count - 1.
const Control* FilterParamRow(int index);

// Name, type and explanation; the strings live as long as the library.
f0r_param_info_t FilterParamInfo(const Control& row);

// A host's number onto the control's range: below 0 counts as 0, above 1 as
// 1, and whole-number controls take the nearest whole number. NaN, which
// names no value, gives NaN.
double ControlFromUnit(const Control& row, double unit);
double UnitFromControl(const Control& row, double value);

// A popup's value (1 for the first choice) for a name in any case, or 0 for
// a null or unknown name; and the name of a value, which lives as long as
// the library.
int ChoiceFromName(const Control& row, const char* name);
const char* ChoiceName(const Control& row, int value);

}  // namespace maculo
