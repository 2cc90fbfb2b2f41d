#include "ImageFiles.h"

#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "CliError.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

// Channel types of each frame depth, in files and in the host's frames.
struct Depth8 {
    using File = uint8_t;
    using Host = uint8_t;
    static constexpr Host kFull = 255;
    static OIIO::TypeDesc Type() { return OIIO::TypeDesc::UINT8; }
    static Host ToHost(File v) { return v; }
    static File ToFile(Host v) { return v; }
};
struct Depth16 {
    using File = uint16_t;
    using Host = uint16_t;
    static constexpr Host kFull = 32768;
    static OIIO::TypeDesc Type() { return OIIO::TypeDesc::UINT16; }
    static Host ToHost(File v) { return FileToHost16(v); }
    static File ToFile(Host v) { return HostToFile16(v); }
};
struct Depth32 {
    using File = float;
    using Host = float;
    static constexpr Host kFull = 1.0f;
    static OIIO::TypeDesc Type() { return OIIO::TypeDesc::FLOAT; }
    static Host ToHost(File v) { return v; }
    static File ToFile(Host v) { return v; }
};

template <typename Fn>
auto WithDepth(int32_t depth, Fn fn) {
    if (depth == 8) return fn(Depth8{});
    if (depth == 16) return fn(Depth16{});
    return fn(Depth32{});
}

int AlphaChannel(const OIIO::ImageSpec& layout) {
    if (layout.alpha_channel >= 0 && layout.alpha_channel < layout.nchannels) return layout.alpha_channel;
    if (layout.nchannels == 2) return 1;
    if (layout.nchannels >= 4) return 3;
    return -1;
}

template <typename D>
FrameImage ToFrameAs(const OIIO::ImageBuf& picture, int32_t depth) {
    const OIIO::ImageSpec& layout = picture.spec();
    const int channels = layout.nchannels;
    const int alpha = AlphaChannel(layout);
    const OIIO::ROI roi = picture.roi();
    std::vector<typename D::File> file(size_t(roi.npixels()) * size_t(channels));
    if (!picture.get_pixels(roi, D::Type(), file.data())) throw Failure("cannot convert the picture: " + picture.geterror());

    FrameImage frame = MakeFrame(depth, roi.width(), roi.height(), alpha >= 0);
    const size_t count = size_t(frame.width) * size_t(frame.height);
    for (size_t i = 0; i < count; ++i) {
        const typename D::File* p = &file[i * channels];
        const bool color = channels >= 3;
        const typename D::Host argb[4] = {alpha >= 0 ? D::ToHost(p[alpha]) : D::kFull, D::ToHost(p[0]),
                                          D::ToHost(p[color ? 1 : 0]), D::ToHost(p[color ? 2 : 0])};
        std::memcpy(frame.Bytes() + i * sizeof argb, argb, sizeof argb);
    }
    return frame;
}

template <typename D>
std::vector<typename D::File> FileChannels(const FrameImage& frame, int channels) {
    const size_t count = size_t(frame.width) * size_t(frame.height);
    std::vector<typename D::File> file(count * channels);
    for (size_t i = 0; i < count; ++i) {
        typename D::Host argb[4];
        std::memcpy(argb, frame.Bytes() + i * sizeof argb, sizeof argb);
        for (int c = 0; c < channels; ++c) file[i * channels + c] = D::ToFile(argb[(c + 1) % 4]);
    }
    return file;
}

// The channel type a file gets for a frame depth. Writers silently fall
// back for types they cannot hold, PNG to 8 bits for float and OpenEXR to
// half for 16 bits; those two get the richer type they do hold instead.
OIIO::TypeDesc FileType(int32_t depth, const OIIO::ImageOutput& out) {
    const std::string_view format = out.format_name();
    if (depth == 8) return OIIO::TypeDesc::UINT8;
    if (depth == 16) return format == "openexr" ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::UINT16;
    return format == "png" ? OIIO::TypeDesc::UINT16 : OIIO::TypeDesc::FLOAT;
}

std::string SystemError(int error) { return std::strerror(error); }

fs::path FolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// A file beside the target that disappears unless it is renamed into place.
class TempFile {
public:
    explicit TempFile(const std::string& target)
        : target_(target),
          path_((FolderOf(target) / ("." + fs::path(target).filename().string() + "." + std::to_string(getpid()) +
                                     ".tmp"))
                    .string()) {}
    ~TempFile() {
        if (!committed_) std::remove(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    void Commit() {
        if (std::rename(path_.c_str(), target_.c_str()) != 0)
            throw Failure("cannot write " + target_ + ": " + SystemError(errno));
        committed_ = true;
    }

private:
    std::string target_;
    std::string path_;
    bool committed_ = false;
};

}  // namespace

FrameImage MakeFrame(int32_t depth, int32_t width, int32_t height, bool hasAlpha) {
    FrameImage frame;
    frame.depth = depth;
    frame.width = width;
    frame.height = height;
    frame.hasAlpha = hasAlpha;
    frame.storage.assign(size_t(width) * size_t(height) * size_t(frame.BytesPerPixel()) / sizeof(float), 0.0f);
    return frame;
}

OIIO::ImageBuf ReadPicture(const std::string& path) {
    // Channels exactly as stored: no multiplying colour by alpha on the way in.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    OIIO::ImageBuf picture(path, 0, 0, nullptr, &config);
    if (!picture.read(0, 0, true) || picture.spec().nchannels < 1) {
        std::string why = picture.geterror();
        if (why.empty()) why = "not a picture";
        throw Failure("cannot read " + path + ": " + why);
    }
    return picture;
}

OIIO::ImageBuf NoisePicture(int32_t width, int32_t height, int32_t seed) {
    OIIO::ImageBuf picture(OIIO::ImageSpec(width, height, 3, OIIO::TypeDesc::UINT8));
    OIIO::ImageBufAlgo::zero(picture);
    OIIO::ImageBufAlgo::noise(picture, "uniform", 0.0f, 1.0f, false, seed);
    return picture;
}

OIIO::ImageBuf Downsample(const OIIO::ImageBuf& picture, int32_t factor) {
    if (factor <= 1) return picture;
    const OIIO::ROI roi = picture.roi();
    const int width = (roi.width() + factor - 1) / factor;
    const int height = (roi.height() + factor - 1) / factor;
    OIIO::ImageBuf small(OIIO::ImageSpec(width, height, picture.nchannels(), picture.spec().format));
    small.specmod().alpha_channel = picture.spec().alpha_channel;
    if (!OIIO::ImageBufAlgo::resize(small, picture, "box", 1.0f))
        throw Failure("cannot downsample the picture: " + small.geterror());
    return small;
}

int32_t NaturalDepth(const OIIO::ImageBuf& picture) {
    const OIIO::TypeDesc type = picture.spec().format;
    if (type == OIIO::TypeDesc::UINT8 || type == OIIO::TypeDesc::INT8) return 8;
    if (type == OIIO::TypeDesc::UINT16 || type == OIIO::TypeDesc::INT16) return 16;
    return 32;
}

FrameImage ToFrame(const OIIO::ImageBuf& picture, int32_t depth) {
    return WithDepth(depth, [&](auto d) { return ToFrameAs<decltype(d)>(picture, depth); });
}

void CheckWritable(const std::string& path) {
    if (!OIIO::ImageOutput::create(path)) throw Failure("cannot write " + path + ": " + OIIO::geterror());
    const fs::path folder = FolderOf(path);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw Failure("cannot write " + path + ": no folder " + folder.string());
    if (access(folder.c_str(), W_OK) != 0) throw Failure("cannot write " + path + ": " + SystemError(errno));
}

void WriteFrame(const FrameImage& frame, const std::string& path) {
    TempFile temp(path);
    std::unique_ptr<OIIO::ImageOutput> out = OIIO::ImageOutput::create(path);
    if (!out) throw Failure("cannot write " + path + ": " + OIIO::geterror());
    const int channels = frame.hasAlpha && out->supports("alpha") ? 4 : 3;
    WithDepth(frame.depth, [&](auto d) {
        using D = decltype(d);
        OIIO::ImageSpec layout(frame.width, frame.height, channels, FileType(frame.depth, *out));
        layout.alpha_channel = channels == 4 ? 3 : -1;
        layout.attribute("oiio:UnassociatedAlpha", 1);  // written as they are, not divided by alpha
        const std::vector<typename D::File> data = FileChannels<D>(frame, channels);
        if (!out->open(temp.Path(), layout) || !out->write_image(D::Type(), data.data()) || !out->close())
            throw Failure("cannot write " + path + ": " + out->geterror());
    });
    temp.Commit();
}

}  // namespace maculo
