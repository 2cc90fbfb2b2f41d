// ffmpeg's frei0r filter hands frames over without their row pitch, while
// its frame buffers pad every row to its alignment: frames whose rows are
// not a whole number of alignments wide come out sheared. The filter can
// tell only by who calls it, and says so once, when the instance is made.
#pragma once

namespace maculo {

// `caller` is the return address of f0r_construct.
void WarnOfPaddedRows(unsigned width, unsigned height, const void* caller) noexcept;

}  // namespace maculo
