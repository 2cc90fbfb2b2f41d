// The renderer's file module: pictures read and frames written through the
// image libraries, which take longer to load than a short render takes.
#include "renderlib/FileModule.h"

#include <optional>

#include "filemodule/FrameWriter.h"
#include "filemodule/Pictures.h"
#include "renderlib/FrameBudget.h"

namespace maculo {
namespace {

class ImageLibraryFiles final : public FileModule {
public:
    explicit ImageLibraryFiles(const StopTable& stops) : stops_(stops) {
        // The image library's debug lines (which a debug build or its
        // environment variable turn on) are not the user's business.
        OIIO::attribute("debug", 0);
    }

    void CheckWritable(const std::string& path) const override { maculo::CheckWritable(path); }

    Source Load(const CliOptions& options, const std::string& name) const override {
        std::optional<PictureFile> file;
        OIIO::ImageSpec layout(options.noiseWidth, options.noiseHeight, 3, OIIO::TypeDesc::UINT8);
        if (!name.empty()) layout = file.emplace(name, options.layer).Layout();
        const int32_t n = options.downsample;
        const int32_t depth = options.depth != 0 ? options.depth : NaturalDepth(layout.format);
        CheckFrameFits((layout.width + n - 1) / n, (layout.height + n - 1) / n, depth, int64_t(layout.image_bytes()),
                       AvailableMemory());
        OtherChannels others;
        const OIIO::ImageBuf picture =
            file ? file->Read(&others) : NoisePicture(layout.width, layout.height, options.seed);
        FileTraits traits = TraitsOf(picture, n);
        if (file) traits.layer = file->Layer();
        if (!others.formats.empty()) traits.others = {Downsample(others.pixels, n), others.formats};
        return {name, ToFrame(n > 1 ? Downsample(picture, n) : picture, depth),
                std::make_shared<const FileTraits>(std::move(traits)), file ? file->PartNote() : ""};
    }

    std::string Write(const FrameImage& frame, const std::string& path, const FileTraits* traits,
                      int32_t compression) const override {
        return WriteFrame(frame, path, traits != nullptr ? *traits : FileTraits{}, compression, stops_);
    }

private:
    const StopTable& stops_;
};

}  // namespace
}  // namespace maculo

const maculo::FileModule* maculo_file_module(const maculo::StopTable* stops) {
    static const maculo::ImageLibraryFiles files(*stops);
    return &files;
}
