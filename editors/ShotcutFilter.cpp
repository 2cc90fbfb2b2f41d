#include "editors/ShotcutFilter.h"

#include <stdexcept>

#include "editors/EditorText.h"
#include "frei0r/FilterParams.h"
#include "resources/PluginInfo.h"

namespace maculo {
namespace {

std::string JsList(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const std::string& item : items) text += (text.size() > 1 ? ", " : "") + JsQuoted(item);
    return text + "]";
}

std::string ChoiceData(const EditorParam& p) {
    std::vector<std::string> values, labels;
    for (const EditorChoice& c : p.choices) {
        values.push_back(c.value);
        labels.push_back(c.label);
    }
    return "{name: " + JsQuoted(p.name) + ", label: " + JsQuoted(p.label) + ", help: " + JsQuoted(p.help) +
           ", values: " + JsList(values) + ", labels: " + JsList(labels) +
           ", defaultValue: " + JsQuoted(p.defaultChoice) + "}";
}

std::string NumberData(const EditorParam& p) {
    return "{name: " + JsQuoted(p.name) + ", label: " + JsQuoted(p.label) + ", help: " + JsQuoted(p.help) +
           ", min: " + ExactNumber(p.min) + ", max: " + ExactNumber(p.max) +
           ", decimals: " + std::to_string(p.decimals) + ", suffix: " + JsQuoted(p.suffix) +
           ", defaultValue: " + ExactNumber(p.defaultValue) + "}";
}

}  // namespace

std::string ShotcutMetadata(const std::vector<EditorParam>& params) {
    std::string simple, keyframed;
    for (const EditorParam& p : params) {
        if (p.IsChoice()) continue;
        simple += (simple.empty() ? "" : ", ") + JsQuoted(p.name);
        keyframed += std::string(keyframed.empty() ? "" : ",\n") + "            Parameter {\n" +
                     "                name: " + JsQuoted(p.label) + "\n" +
                     "                property: " + JsQuoted(p.name) + "\n" +
                     "                isCurve: true\n                minimum: 0\n                maximum: 1\n" +
                     "            }";
    }
    // MLT's slices would split the frame into strips that the pattern does
    // not cross: the metadata leaves `threads` alone.
    return "import QtQuick 2.0\nimport org.shotcut.qml 1.0\n\nMetadata {\n    type: Metadata.Filter\n" +
           std::string("    name: ") + JsQuoted(kEffectName) + "\n" +
           "    keywords: 'pattern labyrinth spots stripes maze organic'\n" +
           "    objectName: " + JsQuoted(kShotcutFolder) + "\n" +
           "    mlt_service: 'frei0r.maculo_pattern'\n    qml: 'ui.qml'\n\n" +
           "    keyframes {\n        allowAnimateIn: true\n        allowAnimateOut: true\n" +
           "        simpleProperties: [" + simple + "]\n        parameters: [\n" + keyframed +
           "\n        ]\n    }\n}\n";
}

std::string ShotcutUi(const std::vector<EditorParam>& params, const std::string& uiTemplate) {
    std::string choices, numbers;
    for (const EditorParam& p : params) {
        std::string& list = p.IsChoice() ? choices : numbers;
        list += std::string(list.empty() ? "" : ",\n") + "        " + (p.IsChoice() ? ChoiceData(p) : NumberData(p));
    }
    const std::string data = "    property var choiceParams: [\n" + choices + "\n    ]\n" +
                             "    property var numberParams: [\n" + numbers + "\n    ]\n" +
                             "    property string fullWidthParam: " + JsQuoted(kFullWidthName) + "\n";
    const std::string marker = "    @PARAMETERS@\n";
    std::string ui = uiTemplate;
    const size_t at = ui.find(marker);
    if (at == std::string::npos) throw std::runtime_error("the UI template has no @PARAMETERS@ line");
    return ui.replace(at, marker.size(), data);
}

}  // namespace maculo
