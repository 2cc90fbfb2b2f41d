// Pictures in and out of files through OpenImageIO, the built-in noise
// picture, and the conversion between file channels and host frames.
#pragma once

#include <OpenImageIO/imagebuf.h>

#include <string>

#include "FrameImage.h"

namespace maculo {

// The whole first picture of a file, in its own channel type. Throws CliError.
OIIO::ImageBuf ReadPicture(const std::string& path);

// Deterministic uniform noise, 8 bits per channel, red, green and blue.
OIIO::ImageBuf NoisePicture(int32_t width, int32_t height, int32_t seed);

// The picture at 1/factor of its size (rounded up), each pixel the average of
// the pixels it covers.
OIIO::ImageBuf Downsample(const OIIO::ImageBuf& picture, int32_t factor);

// 8 for 8-bit files, 16 for 16-bit ones, 32 for anything else.
int32_t NaturalDepth(const OIIO::ImageBuf& picture);

// The picture as a host frame: gray pictures fill red, green and blue, and a
// picture without alpha gets full alpha.
FrameImage ToFrame(const OIIO::ImageBuf& picture, int32_t depth);

// Fails early, before any rendering, when the file could not be written: an
// unknown format or a folder that does not exist or cannot be written to.
void CheckWritable(const std::string& path);

// Writes the frame at its own depth, or the nearest one the format holds,
// with alpha where the frame has it and the format can hold it. The file
// appears only complete: it is written beside its place and renamed into it.
void WriteFrame(const FrameImage& frame, const std::string& path);

}  // namespace maculo
