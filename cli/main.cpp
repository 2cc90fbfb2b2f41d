// maculo-render: renders the Maculo Pattern effect outside the host, through
// the plug-in's own binary. This part answers the command line; the file
// module, opened only when there is work, reads, renders and writes.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "cli/CliError.h"
#include "cli/FilesModule.h"
#include "cli/Messages.h"
#include "cli/Options.h"
#include "cli/ProgramFiles.h"
#include "minihost/DynamicLibrary.h"
#include "resources/Version.h"

namespace maculo {
namespace {

int RunFilesModule(const CliOptions& options) {
    const std::string path = ProgramFile(MACULO_FILES_MODULE_FILE, MACULO_INSTALLED_FILES_MODULE);
    // Idle OpenMP threads sleep at once instead of spinning, unless the user
    // says otherwise: spinning, they take the processor from the threads that
    // read and write frames beside the render. OpenMP reads the setting when
    // the module brings it in.
    setenv("OMP_WAIT_POLICY", "passive", 0);
    try {
        // Never unloaded (linked so): the image libraries' threads may outlive the call.
        const minihost::DynamicLibrary module(path);
        const auto entry = reinterpret_cast<FilesModuleEntry>(module.Symbol(kFilesModuleEntry));
        if (!entry) throw std::runtime_error(path + " is not the renderer's file module");
        return entry(&options);
    } catch (const std::runtime_error& e) {
        throw Failure("cannot open its file module (it belongs beside the plug-in): " + FirstLine(e.what()));
    }
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
    return RunFilesModule(options);
}

}  // namespace
}  // namespace maculo

int main(int argc, char** argv) {
    return maculo::ExitCodeOf([&] { return maculo::Run(argc, argv); });
}
