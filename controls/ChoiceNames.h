// The names front ends outside the host give a control's choices.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include "controls/ControlTable.h"

namespace maculo {

// The labels in lower case, without spaces; the first is value 1.
inline std::vector<std::string> ChoiceNames(const Control& control) {
    std::vector<std::string> names(1);
    for (const char* c = control.choices; *c != '\0'; ++c) {
        if (*c == '|') {
            names.emplace_back();
        } else if (*c != ' ') {
            names.back() += char(std::tolower(static_cast<unsigned char>(*c)));
        }
    }
    return names;
}

}  // namespace maculo
