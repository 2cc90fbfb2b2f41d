#include "editors/KdenliveEffect.h"

#include "editors/EditorText.h"
#include "frei0r/FilterParams.h"
#include "resources/PluginInfo.h"

namespace maculo {
namespace {

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + XmlEscaped(value) + "\"";
}

std::string NameAndComment(const EditorParam& p) {
    return "        <name>" + XmlEscaped(p.label) + "</name>\n        <comment>" + XmlEscaped(p.help) +
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
           "        <paramlistdisplay>" + XmlEscaped(labels) + "</paramlistdisplay>\n" + NameAndComment(p);
}

// A keyframable number in its own units: the default is the filter's value,
// the range is what the panel shows.
std::string NumberParameter(const EditorParam& p) {
    std::string text = "    <parameter" + Attribute("type", "animated") + Attribute("name", p.name) +
                       Attribute("default", ExactNumber(p.defaultValue)) + Attribute("min", ExactNumber(p.min)) +
                       Attribute("max", ExactNumber(p.max)) + Attribute("factor", ExactNumber(p.factor));
    // Kdenlive shows value x factor - offset.
    if (p.offset != 0.0) text += Attribute("offset", ExactNumber(-p.offset));
    text += Attribute("decimals", std::to_string(p.decimals));
    if (!p.suffix.empty()) text += Attribute("suffix", p.suffix);
    return text + ">\n" + NameAndComment(p);
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
