// The render of a run's frames: each frame's picture read, rendered through
// the plug-in and written, the three overlapping.
#pragma once

#include "renderlib/Options.h"

namespace maculo {

// Renders the frames the options ask for, then says how long they took.
// Throws CliError for the first failure, having written the frames before it;
// a failure before the file module is open is reported only once the output
// is found writable, as when the output came first.
void RenderFrames(const CliOptions& options);

}  // namespace maculo
