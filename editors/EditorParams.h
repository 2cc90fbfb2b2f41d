// The filter's parameters as the video editors show them: each control in
// its own units (pixels, percent, iterations), with the numbers the editor
// must turn its value into before MLT hands it to the filter.
#pragma once

#include <string>
#include <vector>

namespace maculo {

struct EditorChoice {
    std::string value;  // what the filter takes
    std::string label;  // what the editor shows
};

struct EditorParam {
    std::string name;   // the frei0r parameter, as MLT names it
    std::string label;  // unique among the parameters
    std::string help;
    std::vector<EditorChoice> choices;  // empty for a number
    std::string defaultChoice;
    // Numbers: shown = filter value x factor + offset, over min ... max.
    double defaultValue = 0.0;  // the filter's value, 0 to 1
    double min = 0.0, max = 0.0, factor = 1.0, offset = 0.0;
    int decimals = 0;
    std::string suffix;  // " px", " %", or empty

    bool IsChoice() const { return !choices.empty(); }
};

// Every parameter of the filter that carries a control, in the filter's order.
std::vector<EditorParam> EditorParams();

}  // namespace maculo
