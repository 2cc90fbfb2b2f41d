#include "editors/EditorParams.h"

#include <cctype>
#include <string_view>

#include "controls/ChoiceNames.h"
#include "frei0r/FilterParams.h"

namespace maculo {
namespace {

std::string SuffixOf(ControlUnit unit) {
    switch (unit) {
        case ControlUnit::kPixels:
            return " px";
        case ControlUnit::kPercent:
            return " %";
        default:
            return "";
    }
}

// Choice labels as the table gives them, without the separators' spaces.
std::vector<std::string> ChoiceLabels(const Control& control) {
    std::vector<std::string> labels;
    std::string_view rest = control.choices;
    while (!rest.empty()) {
        const size_t bar = rest.find('|');
        std::string_view label = rest.substr(0, bar);
        while (!label.empty() && label.front() == ' ') label.remove_prefix(1);
        while (!label.empty() && label.back() == ' ') label.remove_suffix(1);
        labels.emplace_back(label);
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    return labels;
}

// The group a control sits in, or nullptr.
const Control* GroupOf(const Control& control) {
    const Control* group = nullptr;
    for (const Control& row : kControls) {
        if (&row == &control) return group;
        if (row.kind == ControlKind::kGroupStart) group = &row;
        if (row.kind == ControlKind::kGroupEnd) group = nullptr;
    }
    return nullptr;
}

// Two controls share the label "Radius": an editor's flat list tells them
// apart by their group.
std::string LabelOf(const Control& control) {
    int same = 0;
    for (const Control* other : kValueControls) same += std::string_view(other->label) == control.label;
    const Control* group = GroupOf(control);
    if (same < 2 || group == nullptr) return control.label;
    return std::string(control.label) + " (" + group->label + ")";
}

std::string HelpOf(const Control& control) {
    std::string help(control.help);
    if (!help.empty()) help[0] = char(std::toupper(static_cast<unsigned char>(help[0])));
    if (control.shownIn != ShownIn::kAlways)
        help += control.shownIn == ShownIn::kSimple ? " (Simple mode)" : " (Detail mode)";
    return help;
}

}  // namespace

std::vector<EditorParam> EditorParams() {
    std::vector<EditorParam> params;
    for (int index = 0; const Control* row = FilterParamRow(index); ++index) {
        const Control& control = *row;
        EditorParam p;
        p.name = control.name;
        p.label = LabelOf(control);
        p.help = HelpOf(control);
        if (control.kind == ControlKind::kChoice) {
            const std::vector<std::string> values = ChoiceNames(control);
            const std::vector<std::string> labels = ChoiceLabels(control);
            for (size_t i = 0; i < values.size(); ++i) p.choices.push_back({values[i], labels.at(i)});
            p.defaultChoice = ChoiceName(control, int(control.defaultValue));
        } else {
            // The filter lays 0 ... 1 linearly over the valid range.
            p.min = control.range.validMin;
            p.max = control.range.validMax;
            p.factor = p.max - p.min;
            p.offset = p.min;
            p.defaultValue = UnitFromControl(control, control.defaultValue);
            p.decimals = control.kind == ControlKind::kWholeNumber ? 0 : control.decimals;
            p.suffix = SuffixOf(control.unit);
        }
        params.push_back(std::move(p));
    }
    return params;
}

}  // namespace maculo
