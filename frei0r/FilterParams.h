// The effect's controls as frei0r parameters: one per control that carries a
// value, numbered in table order. Numbers travel as doubles from 0 to 1 laid
// linearly over the control's valid range, popups as their choice names.
// One more parameter follows them: the full-size frame's width, which lets
// an editor's reduced-size preview show the final render's pattern.
#pragma once

#include <string>

#include "frei0r/Frei0rApi.h"

#include "controls/ControlTable.h"

namespace maculo {

inline constexpr int kControlParamCount = int(kValueControls.size());
inline constexpr int kFullWidthParam = kControlParamCount;
inline constexpr int kFilterParamCount = kControlParamCount + 1;
inline constexpr char kFullWidthName[] = "full-width";

// What the filter says it does, to hosts and the editors' effect lists.
inline constexpr char kFilterExplanation[] = "Turns the picture into an organic labyrinth of spots and stripes";

// Numbers as people read them: 200, 6, 0.03.
std::string Number(double v);

// Makes the parameters' texts, which the calls below read; false when
// memory runs out. Call it first: the calls below would throw instead.
bool PrepareFilterParams() noexcept;

// The row behind a parameter number, or nullptr for any other number.
const Control* FilterParamRow(int index);

// Name, type and explanation; the strings live as long as the library.
f0r_param_info_t FilterParamInfo(const Control& row);
f0r_param_info_t FullWidthParamInfo();

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
