// The renderer's file module: everything that reads or writes a picture, and
// the plug-in's host, in a library of its own, so that the program answers
// --help, --version and a command-line mistake without loading the image
// libraries. The program opens it at first use and calls its one entry.
#pragma once

#include "Options.h"

namespace maculo {

inline constexpr char kFilesModuleEntry[] = "maculo_files_run";
// Renders, or tells about the plug-in, as `options` say; returns the exit
// code, having reported any failure itself.
using FilesModuleEntry = int (*)(const CliOptions* options);

}  // namespace maculo

extern "C" int maculo_files_run(const maculo::CliOptions* options);
