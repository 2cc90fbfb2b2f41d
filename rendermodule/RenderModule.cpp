// The renderer's render module: renders frames through the plug-in's own
// binary, reading and writing them through the file module, or tells about
// the plug-in.
#include "renderlib/RenderModule.h"

#include <cstdio>
#include <string>

#include "renderlib/Messages.h"
#include "rendermodule/FrameSequence.h"
#include "rendermodule/PluginRenderer.h"

namespace maculo {
namespace {

int Run(const CliOptions& options) {
    if (options.action == CliOptions::Action::kAbout) {
        std::string about = PluginRenderer(PluginPath(options.plugin), false, 1).About();
        for (char& c : about)
            if (c == '\r') c = '\n';  // the host's line break
        std::printf("%s\n", about.c_str());
        return 0;
    }
    return RenderChunk(options);
}

}  // namespace
}  // namespace maculo

int maculo_render_run(const maculo::CliOptions* options) {
    return maculo::ExitCodeOf([&] { return maculo::Run(*options); });
}
