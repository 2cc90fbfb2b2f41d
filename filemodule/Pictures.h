// Pictures from files through OpenImageIO, the built-in noise picture, and
// the conversion of file channels into host frames.
#pragma once

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imageio.h>

#include <memory>
#include <optional>
#include <string>

#include "filemodule/ChannelChoice.h"
#include "renderlib/FrameImage.h"

namespace maculo {

// A file's channels that the picture does not use.
struct OtherChannels {
    OIIO::ImageBuf pixels;                // floats, or doubles where one holds 32-bit integers
    std::vector<OIIO::TypeDesc> formats;  // each channel's type in the file
};

// A picture file opened for reading: its layout comes first, so that the
// frame's size can be judged before the pixels are read.
class PictureFile {
public:
    // Throws CliError when the file cannot be opened as a picture, or has no
    // picture channels where they are looked for. OpenEXR files, and any file
    // when a `layer` is named, give their picture channels by name
    // (ChannelChoice.h); other formats give them by position.
    explicit PictureFile(const std::string& path, const std::string& layer = "");

    const OIIO::ImageSpec& Layout() const { return input_->spec(); }
    // Which part of the file is read, when it has several; or nothing.
    const std::string& PartNote() const { return part_.note; }
    const std::string& Layer() const { return part_.layer; }

    // The whole picture, in its own channel type, with its metadata; its
    // channels are named R, G, B, A or Y, A. Anything the reader reports, an
    // error or a warning (a truncated or corrupt file), fails it: a half-read
    // picture must not render. `others`, if given, receives the channels it
    // does not use.
    OIIO::ImageBuf Read(OtherChannels* others = nullptr);

private:
    std::string path_;
    std::unique_ptr<OIIO::ImageInput> input_;
    FilePart part_;
    std::optional<ChannelChoice> choice_;  // none: by position
};

inline OIIO::ImageBuf ReadPicture(const std::string& path) { return PictureFile(path).Read(); }

// What a written file keeps of the picture it came from.
struct FileTraits {
    OIIO::ParamValueList metadata;  // orientation, colour space and resolution
    bool gray = false;              // no colour channels: a gray result is written as gray
    std::string layer;              // the picture's layer in the file, or "" for none
    OtherChannels others;           // at the frame's size
};

// The traits of a picture rendered at 1/downsample of its size.
FileTraits TraitsOf(const OIIO::ImageBuf& picture, int32_t downsample);

// The built-in noise (Noise.h) as a picture.
OIIO::ImageBuf NoisePicture(int32_t width, int32_t height, int32_t seed);

// The picture at 1/factor of its size (rounded up), each pixel the average of
// the pixels it covers.
OIIO::ImageBuf Downsample(const OIIO::ImageBuf& picture, int32_t factor);

// 8 for 8-bit channels, 16 for 16-bit ones, 32 for anything else.
int32_t NaturalDepth(OIIO::TypeDesc type);
inline int32_t NaturalDepth(const OIIO::ImageBuf& picture) { return NaturalDepth(picture.spec().format); }

// The picture as a host frame: gray pictures fill red, green and blue, and a
// picture without alpha gets full alpha.
FrameImage ToFrame(const OIIO::ImageBuf& picture, int32_t depth);

}  // namespace maculo
