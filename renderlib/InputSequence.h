// The files of a run, settled before any work: which frames an input
// sequence has, that every input frame is there, and that no output frame is
// an input one.
#pragma once

#include "renderlib/Options.h"

namespace maculo {

// Without --frames, an input sequence renders the frames present, numbered
// as the files are: `start` and `frames` span its first to last file. Throws
// CliError when no file matches, or (exit 2) when more than one frame is to
// be written to an output without a run of '#', or --range lies outside.
CliOptions WithInputSequence(CliOptions options);

// Throws CliError naming the first input frame of the range that is missing
// (exit 1), or (exit 2) an output frame that is the very file an input frame
// is read from, through links or other paths.
void CheckFrameFiles(const CliOptions& options);

}  // namespace maculo
