// What the renderer's file module offers the render: pictures read from files
// and frames written to them, through the image libraries. The render module
// does without those libraries, so that it sets the plug-in up and renders
// the built-in noise while the file module is still opening.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/FrameImage.h"
#include "cli/Options.h"

namespace maculo {

struct FileTraits;  // what a written file keeps of its source (ImageFiles.h)

// The picture that frames start from.
struct Source {
    std::string name;  // the file, empty for the noise
    FrameImage frame;
    // Shared with the writes of its frames, which may end after it is gone;
    // none for the noise.
    std::shared_ptr<const FileTraits> traits;
    std::string partNote;  // which part of the file is read, where it has several
};

class PictureFiles {
public:
    virtual ~PictureFiles() = default;
    // Throws CliError when a frame could not be written to `path` (FrameFiles.h).
    virtual void CheckWritable(const std::string& path) const = 0;
    // The picture file `name`, or for "" the noise, at the size and depth the
    // options ask; its size is judged against the memory before its pixels
    // are read. Throws CliError.
    virtual Source Load(const CliOptions& options, const std::string& name) const = 0;
    // Writes the frame with the source's traits (WriteFrame in FrameFiles.h);
    // returns what of it the format could not hold, or nothing.
    virtual std::string Write(const FrameImage& frame, const std::string& path, const FileTraits* traits,
                              int32_t compression) const = 0;
};

inline constexpr char kPictureFilesEntry[] = "maculo_picture_files";
// The module's one entry: its PictureFiles, alive as long as the process.
using PictureFilesEntry = const PictureFiles* (*)();

}  // namespace maculo

extern "C" const maculo::PictureFiles* maculo_picture_files();
