// What the renderer's file module offers the render module: pictures read
// from files and frames written to them, through the image libraries. The
// render module does without those libraries, so that it sets the plug-in up
// and renders the built-in noise while the file module is still opening.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "renderlib/FrameImage.h"
#include "renderlib/Options.h"
#include "renderlib/Stops.h"

namespace maculo {

struct FileTraits;  // what a written file keeps of its source (filemodule/Pictures.h)

// The picture that frames start from.
struct Source {
    std::string name;  // the file, empty for the noise
    FrameImage frame;
    // Shared with the writes of its frames, which may end after it is gone;
    // none for the noise.
    std::shared_ptr<const FileTraits> traits;
    std::string partNote;  // which part of the file is read, where it has several
};

class FileModule {
public:
    virtual ~FileModule() = default;
    // Throws CliError when a frame could not be written to `path`
    // (filemodule/FrameWriter.h).
    virtual void CheckWritable(const std::string& path) const = 0;
    // The picture file `name`, or for "" the noise, at the size and depth the
    // options ask; its size is judged against the memory before its pixels
    // are read. Throws CliError.
    virtual Source Load(const CliOptions& options, const std::string& name) const = 0;
    // Writes the frame with the source's traits (WriteFrame in
    // filemodule/FrameWriter.h); returns what of it the format could not
    // hold, or nothing.
    virtual std::string Write(const FrameImage& frame, const std::string& path, const FileTraits* traits,
                              int32_t compression) const = 0;
};

inline constexpr char kFileModuleEntry[] = "maculo_file_module";
// The module's one entry: its FileModule, alive as long as the process,
// writing files under the render module's `stops` (alive as long too).
using FileModuleEntry = const FileModule* (*)(const StopTable* stops);

}  // namespace maculo

extern "C" const maculo::FileModule* maculo_file_module(const maculo::StopTable* stops);
