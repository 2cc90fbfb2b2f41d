// The render of a run's frames: each frame's picture read, rendered through
// the plug-in and written, the three overlapping.
#pragma once

#include "renderlib/Options.h"

namespace maculo {

// Renders the frames the options ask for (with --skip-existing, those not
// written yet) and returns the exit code. A failure ends the run at the
// frame that fails, having written the frames before it, and says so in a
// line; a chunk that got as far as knowing its frames then ends with its
// closing line, --quiet or not.
int RenderChunk(const CliOptions& options);

}  // namespace maculo
