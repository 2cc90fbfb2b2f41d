#include "editors/KdenliveEffect.h"

#include "editors/EditorText.h"
#include "frei0r/FilterParams.h"
#include "resources/PluginInfo.h"

namespace maculo {
namespace {

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + XmlEscaped(value) + "\"";
}

std::string NameAndComment(const std::string& label, const std::string& help) {
    return "        <name>" + XmlEscaped(label) + "</name>\n        <comment>" + XmlEscaped(help) +
           "</comment>\n    </parameter>\n";
}

// A choice: MLT gets the name the filter takes, the panel shows the label.
std::string ChoiceParameter(const EditorParam& p) {
    std::string values, labels;
    for (const EditorChoice& c : p.choices) {
        values += (values.empty() ? "" : ";") + c.value;
        labels += (labels.empty() ? "" : ",") + c.label;
    }
    return "    <parameter" + Attribute("type", "list") + Attribute("name", p.name) +
           Attribute("default", p.defaultChoice) + Attribute("paramlist", values) + ">\n" +
           "        <paramlistdisplay>" + XmlEscaped(labels) + "</paramlistdisplay>\n" +
           NameAndComment(p.label, p.help);
}

// A keyframable number in its own units: the default is the filter's value,
// the range is what the panel shows, value x factor. Kdenlive 22.12 has no
// offset, so a range that starts above 0 (Amount, 1 to 1000) is shown less
// its start, and the help says so.
std::string NumberParameter(const EditorParam& p) {
    std::string help = p.help;
    if (p.offset != 0.0)
        help += "; shown less " + ExactNumber(p.offset) + ": " + ExactNumber(p.max - p.offset) + " is " +
                ExactNumber(p.max);
    return "    <parameter" + Attribute("type", "animated") + Attribute("name", p.name) +
           Attribute("default", ExactNumber(p.defaultValue)) + Attribute("min", ExactNumber(p.min - p.offset)) +
           Attribute("max", ExactNumber(p.max - p.offset)) + Attribute("factor", ExactNumber(p.factor)) +
           Attribute("decimals", std::to_string(p.decimals)) + (p.suffix.empty() ? "" : Attribute("suffix", p.suffix)) +
           ">\n" + NameAndComment(p.label, help);
}

}  // namespace

std::string KdenliveEffect(const std::vector<EditorParam>& params) {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE kpartgui>\n<effect" +
                       Attribute("tag", "frei0r.maculo_pattern") + Attribute("id", "frei0r.maculo_pattern") + ">\n" +
                       "    <name>" + XmlEscaped(kEffectName) + "</name>\n" + "    <description>" +
                       XmlEscaped(kFilterExplanation) + "</description>\n" + "    <author>" +
                       XmlEscaped(kRegistrationCategory) + "</author>\n";
    for (const EditorParam& p : params) text += p.IsChoice() ? ChoiceParameter(p) : NumberParameter(p);
    // The project's width, which Kdenlive writes in when the effect is added:
    // a reduced-size preview then shows the final render's pattern.
    text += "    <parameter" + Attribute("type", "fixed") + Attribute("name", kFullWidthName) +
            Attribute("default", "%width") + Attribute("value", "%width") + "/>\n";
    return text + "</effect>\n";
}

}  // namespace maculo
