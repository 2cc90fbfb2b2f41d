// maculo-render: renders the Maculo Pattern effect outside the host, through
// the plug-in's own binary. This part answers the command line; the render
// module, opened only when there is work, renders, and opens the file module
// that reads and writes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "renderlib/CliError.h"
#include "renderlib/InstallLayout.h"
#include "renderlib/Messages.h"
#include "renderlib/ModuleEntry.h"
#include "renderlib/Options.h"
#include "renderlib/RenderModule.h"
#include "resources/Version.h"

namespace maculo {
namespace {

int RunRenderModule(const CliOptions& options) {
    // Idle OpenMP threads sleep at once instead of spinning, unless the user
    // says otherwise: spinning, they take the processor from the threads that
    // read and write frames beside the render. OpenMP reads the setting when
    // the module brings it in.
    setenv("OMP_WAIT_POLICY", "passive", 0);
    const std::string path = CompanionFile(MACULO_RENDER_MODULE_FILE, MACULO_INSTALLED_RENDER_MODULE);
    return ModuleEntry<RenderModuleEntry>(path, kRenderModuleEntry, "render module")(&options);
}

int Run(int argc, char** argv) {
    const CliOptions options = ParseOptions(argc, argv);
    switch (options.action) {
        case CliOptions::Action::kHelp:
            std::fputs(HelpText(kProgram).c_str(), stdout);
            return 0;
        case CliOptions::Action::kVersion:
            std::printf("%s %s\n", kProgram, kVersionText);
            return 0;
        case CliOptions::Action::kAbout:
            break;
        case CliOptions::Action::kRender:
            if (!options.quiet)
                for (const std::string& note : options.notes) Note(note);
            break;
    }
    return RunRenderModule(options);
}

}  // namespace
}  // namespace maculo

int main(int argc, char** argv) {
    return maculo::ExitCodeOf([&] { return maculo::Run(argc, argv); });
}
