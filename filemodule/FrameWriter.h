// Host frames into files: checked before the render, written complete or not
// at all.
#pragma once

#include <cstdint>
#include <string>

#include "filemodule/Pictures.h"
#include "renderlib/Compression.h"
#include "renderlib/FrameImage.h"
#include "renderlib/Stops.h"

namespace maculo {

// Fails early, before any rendering, when the file could not be written: an
// unknown format, a folder in its place, a folder that does not exist or
// cannot be written to, or a write-protected file.
void CheckWritable(const std::string& path);

// Writes the frame at its own depth, or the nearest one the format holds,
// with alpha where the frame has it and the format can hold it, and with the
// source's traits. The file appears only complete: it is written beside its
// place and renamed into it, unless the render was stopped (`stops`)
// meanwhile. A symbolic link is written through to its target, and a file
// replaced keeps its permissions. Returns a line saying what of the frame the
// format could not hold, or nothing. `compression` is the zlib level (1 fastest to 9
// smallest) of the formats that have one: PNG, TIFF and OpenEXR's zip.
std::string WriteFrame(const FrameImage& frame, const std::string& path, const FileTraits& traits = {},
                       int32_t compression = kDefaultCompression, const StopTable& stops = NoStops());

}  // namespace maculo
