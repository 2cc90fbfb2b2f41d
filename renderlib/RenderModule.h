// The renderer's render module: sets the plug-in up in our host and renders
// the frames, opening the file module (renderlib/FileModule.h) beside it. It loads no
// image library itself, so the program answers --help, --version and a
// command-line mistake without it, and --about without the file formats.
#pragma once

#include "renderlib/Options.h"

namespace maculo {

inline constexpr char kRenderModuleEntry[] = "maculo_render_run";
// Renders, or tells about the plug-in, as `options` say; returns the exit
// code, having reported any failure itself.
using RenderModuleEntry = int (*)(const CliOptions* options);

}  // namespace maculo

extern "C" int maculo_render_run(const maculo::CliOptions* options);
