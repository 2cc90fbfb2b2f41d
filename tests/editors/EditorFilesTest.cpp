// Kdenlive's and Shotcut's descriptions of the filter, read as the editors
// read them: every value an editor shows reaches the filter as that control
// value, and every name and choice is one the filter takes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <string>

#include "controls/ChoiceNames.h"
#include "editors/EditorParams.h"
#include "editors/KdenliveEffect.h"
#include "editors/ShotcutFilter.h"
#include "frei0r/FilterParams.h"

namespace maculo {
namespace {

using Attributes = std::map<std::string, std::string>;

// Each <parameter> element's attributes, by its name.
std::map<std::string, Attributes> KdenliveParameters(const std::string& xml) {
    std::map<std::string, Attributes> params;
    const std::regex element("<parameter([^>]*)>"), attribute("([a-z]+)=\"([^\"]*)\"");
    for (std::sregex_iterator e(xml.begin(), xml.end(), element), end; e != end; ++e) {
        Attributes attributes;
        const std::string text = (*e)[1];
        for (std::sregex_iterator a(text.begin(), text.end(), attribute); a != end; ++a) attributes[(*a)[1]] = (*a)[2];
        params[attributes["name"]] = attributes;
    }
    return params;
}

TEST(EditorFiles, KdenliveValuesReachTheFilterAsTheControlsTheyShow) {
    ASSERT_TRUE(PrepareFilterParams());
    const std::map<std::string, Attributes> params = KdenliveParameters(KdenliveEffect(EditorParams()));
    ASSERT_EQ(params.size(), size_t(kFilterParamCount));
    EXPECT_EQ(params.at(kFullWidthName).at("default"), "%width");
    for (int index = 0; const Control* control = FilterParamRow(index); ++index) {
        SCOPED_TRACE(std::string(control->name));
        const Attributes& p = params.at(std::string(control->name));
        if (control->kind == ControlKind::kChoice) {
            EXPECT_EQ(p.at("type"), "list");
            const std::vector<std::string> names = ChoiceNames(*control);
            std::string list;
            for (const std::string& name : names) list += (list.empty() ? "" : ";") + name;
            EXPECT_EQ(p.at("paramlist"), list);
            EXPECT_EQ(ChoiceFromName(*control, p.at("default").c_str()), int(control->defaultValue));
            continue;
        }
        EXPECT_EQ(p.at("type"), "animated");
        // Kdenlive hands MLT the shown value over the factor; the panel
        // shows a range starting at 0, less the control's start, and its
        // ends are the filter's 0 and 1.
        const double factor = std::stod(p.at("factor")), min = std::stod(p.at("min")), max = std::stod(p.at("max"));
        const double start = control->range.validMin;
        EXPECT_EQ(min, 0.0);
        EXPECT_EQ(max / factor, 1.0);
        EXPECT_DOUBLE_EQ(ControlFromUnit(*control, std::stod(p.at("default"))), control->defaultValue);
        const double middle = std::round((min + max) / 2);
        EXPECT_DOUBLE_EQ(ControlFromUnit(*control, middle / factor), middle + start);
    }
}

// The panel's values in JavaScript: name, range and default per number.
TEST(EditorFiles, ShotcutKeyframesEveryNumberAndShowsItsRange) {
    ASSERT_TRUE(PrepareFilterParams());
    const std::vector<EditorParam> params = EditorParams();
    const std::string meta = ShotcutMetadata(params);
    const std::string ui = ShotcutUi(params, "head\n    @PARAMETERS@\ntail\n");
    EXPECT_EQ(meta.find("threads"), std::string::npos);
    EXPECT_EQ(ui.find("threads"), std::string::npos);
    EXPECT_NE(ui.find("property string fullWidthParam: 'full-width'\ntail\n"), std::string::npos);

    const std::regex number("\\{name: '([a-z-]+)'[^}]*min: ([0-9.]+), max: ([0-9.]+)[^}]*defaultValue: ([0-9.]+)\\}");
    int numbers = 0;
    for (std::sregex_iterator m(ui.begin(), ui.end(), number), end; m != end; ++m, ++numbers) {
        const std::string name = (*m)[1];
        SCOPED_TRACE(name);
        const Control* control = nullptr;
        for (int i = 0; FilterParamRow(i) != nullptr; ++i)
            if (FilterParamRow(i)->name == name) control = FilterParamRow(i);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(std::stod((*m)[2]), control->range.validMin);
        EXPECT_EQ(std::stod((*m)[3]), control->range.validMax);
        EXPECT_DOUBLE_EQ(ControlFromUnit(*control, std::stod((*m)[4])), control->defaultValue);
        EXPECT_NE(meta.find("property: '" + name + "'"), std::string::npos);
    }
    int choices = 0;
    for (const Control* control : kValueControls) choices += control->kind == ControlKind::kChoice;
    EXPECT_EQ(numbers + choices, kControlParamCount);
}

}  // namespace
}  // namespace maculo
