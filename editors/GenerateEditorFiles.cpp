// maculo-editor-files <ui template> <output folder>: writes, under the
// folder, the files through which Kdenlive and Shotcut list the frei0r
// filter, made from the control table; the build runs it.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "editors/EditorParams.h"
#include "editors/KdenliveEffect.h"
#include "editors/ShotcutFilter.h"
#include "frei0r/FilterParams.h"

namespace {

void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: maculo-editor-files <ui template> <output folder>\n";
        return 2;
    }
    try {
        std::stringstream uiTemplate;
        uiTemplate << std::ifstream(argv[1], std::ios::binary).rdbuf();
        if (uiTemplate.str().empty()) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        if (!maculo::PrepareFilterParams()) throw std::runtime_error("out of memory");
        const std::vector<maculo::EditorParam> params = maculo::EditorParams();
        const std::filesystem::path out = argv[2];
        Write(out / "kdenlive/effects" / maculo::kKdenliveEffectFile, maculo::KdenliveEffect(params));
        const std::filesystem::path shotcut = out / "shotcut/qml/filters" / maculo::kShotcutFolder;
        Write(shotcut / "meta.qml", maculo::ShotcutMetadata(params));
        Write(shotcut / "ui.qml", maculo::ShotcutUi(params, uiTemplate.str()));
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "maculo-editor-files: " << e.what() << "\n";
        return 1;
    }
}
