#include "filemodule/Pictures.h"

#include <OpenImageIO/imagebufalgo.h>

#include <cstring>
#include <filesystem>
#include <string_view>

#include "filemodule/FileDepths.h"
#include "renderlib/CliError.h"
#include "renderlib/Noise.h"
#include "renderlib/QuietStream.h"

namespace maculo {
namespace {

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
    // The picture's own pixels where they are already packed in the frame's
    // type (the noise, most 8-bit files), else a converted copy.
    std::vector<typename D::File> converted;
    const auto* file = static_cast<const typename D::File*>(picture.localpixels());
    const bool packed = picture.pixel_stride() == OIIO::stride_t(channels * sizeof *file) &&
                        picture.scanline_stride() == picture.pixel_stride() * roi.width();
    if (file == nullptr || layout.format != D::Type() || !packed) {
        converted.resize(size_t(roi.npixels()) * size_t(channels));
        if (!picture.get_pixels(roi, D::Type(), converted.data()))
            throw Failure("cannot convert the picture: " + picture.geterror());
        file = converted.data();
    }

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

}  // namespace

PictureFile::PictureFile(const std::string& path, const std::string& layer) : path_(path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw Failure("cannot read " + path + ": it is a folder");
    // Channels exactly as stored: no multiplying colour by alpha on the way in.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    const QuietStream quiet(stderr);
    input_ = OIIO::ImageInput::open(path, &config);
    if (!input_) throw Failure("cannot read " + path + ": " + FirstLine(OIIO::geterror()));
    if (input_->spec().nchannels < 1) throw Failure("cannot read " + path + ": not a picture");
    part_ = ChoosePart(*input_, layer, path);
    if (!layer.empty() || std::string_view(input_->format_name()) == "openexr")
        choice_ = ChooseChannels(input_->spec(), part_.layer, path);
}

OIIO::ImageBuf PictureFile::Read(OtherChannels* others) {
    OIIO::ImageSpec layout = input_->spec();
    const OIIO::TypeDesc pictureType = choice_ ? layout.channelformat(choice_->picture[0]) : layout.format;
    // Channels read together share one type: the picture's own, or where
    // other channels come along one that holds them all exactly.
    OIIO::TypeDesc type = pictureType;
    if (choice_ && !choice_->others.empty()) {
        type = OIIO::TypeDesc::FLOAT;
        for (const int c : choice_->others)
            if (layout.channelformat(c).basetype == OIIO::TypeDesc::UINT32) type = OIIO::TypeDesc::DOUBLE;
    }
    layout.channelformats.clear();
    layout.set_format(type);
    OIIO::ImageBuf all(layout, OIIO::InitializePixels::No);  // the reader fills it whole
    const QuietStream quiet(stderr);
    const bool read = input_->read_image(part_.index, 0, 0, layout.nchannels, type, all.localpixels());
    // Readers report damage they read past (a truncated JPEG) without failing.
    const std::string message = input_->geterror();
    if (!read || !message.empty())
        throw Failure("cannot read " + path_ + ": " + (message.empty() ? "not a picture" : FirstLine(message)));
    if (!choice_) return all;

    const std::vector<int>& chosen = choice_->picture;
    const bool gray = chosen.size() <= 2, alpha = chosen.size() == 2 || chosen.size() == 4;
    std::vector<std::string> names = gray ? std::vector<std::string>{"Y"} : std::vector<std::string>{"R", "G", "B"};
    if (alpha) names.push_back("A");
    // The whole file in order (as OpenEXR's are read) is the picture as it
    // stands; its channels' names matter no further.
    bool whole = int(chosen.size()) == layout.nchannels;
    for (size_t c = 0; c < chosen.size() && whole; ++c) whole = chosen[c] == int(c);
    OIIO::ImageBuf picture =
        whole ? std::move(all) : OIIO::ImageBufAlgo::channels(all, int(chosen.size()), chosen, {}, names);
    if (type != pictureType) picture = picture.copy(pictureType);
    picture.specmod().alpha_channel = alpha ? int(chosen.size()) - 1 : -1;
    if (others != nullptr && !choice_->others.empty()) {
        others->pixels = OIIO::ImageBufAlgo::channels(all, int(choice_->others.size()), choice_->others);
        others->formats.clear();
        for (const int c : choice_->others) others->formats.push_back(input_->spec().channelformat(c));
    }
    if (picture.has_error()) throw Failure("cannot read " + path_ + ": " + FirstLine(picture.geterror()));
    return picture;
}

FileTraits TraitsOf(const OIIO::ImageBuf& picture, int32_t downsample) {
    FileTraits traits;
    const OIIO::ImageSpec& layout = picture.spec();
    traits.gray = layout.nchannels - (AlphaChannel(layout) >= 0 ? 1 : 0) == 1;
    for (const std::string_view name : {"DateTime", "Orientation", "oiio:ColorSpace", "oiio:Gamma", "ICCProfile",
                                        "ResolutionUnit", "PixelAspectRatio", "XResolution", "YResolution"}) {
        const OIIO::ParamValue* value = layout.find_attribute(name);
        if (value == nullptr) continue;
        traits.metadata.push_back(*value);
        // The same print size holds 1/downsample of the pixels.
        if (name.ends_with("Resolution") && downsample > 1)
            traits.metadata.back() = OIIO::ParamValue(name, value->get_float() / float(downsample));
    }
    return traits;
}

OIIO::ImageBuf NoisePicture(int32_t width, int32_t height, int32_t seed) {
    OIIO::ImageBuf picture(OIIO::ImageSpec(width, height, 3, OIIO::TypeDesc::UINT8));
    FillNoise(static_cast<uint8_t*>(picture.localpixels()), 3, width, height, seed);
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

int32_t NaturalDepth(OIIO::TypeDesc type) {
    if (type == OIIO::TypeDesc::UINT8 || type == OIIO::TypeDesc::INT8) return 8;
    if (type == OIIO::TypeDesc::UINT16 || type == OIIO::TypeDesc::INT16) return 16;
    return 32;
}

FrameImage ToFrame(const OIIO::ImageBuf& picture, int32_t depth) {
    return WithDepth(depth, [&](auto d) { return ToFrameAs<decltype(d)>(picture, depth); });
}

}  // namespace maculo
