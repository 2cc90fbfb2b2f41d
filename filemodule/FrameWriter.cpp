#include "filemodule/FrameWriter.h"

#include <OpenImageIO/imageio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "filemodule/CheckedFile.h"
#include "filemodule/FileDepths.h"
#include "renderlib/CliError.h"
#include "renderlib/QuietStream.h"
#include "renderlib/Stops.h"
#include "renderlib/TemporaryFiles.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

std::string SystemError(int error) { return std::strerror(error); }

fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Where a write lands: the end of a chain of symbolic links, which may not
// exist yet, so that the links stay links.
fs::path WriteTarget(const std::string& path) {
    fs::path target = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(target, ec); ++hops) {
        const fs::path link = fs::read_symlink(target, ec);
        target = link.is_absolute() ? link : FolderOf(target) / link;
    }
    return target;
}

// A file in the way that must not be replaced; write-protected files are kept
// even from a user who could remove them, as rm asks before removing them.
void RefuseToReplace(const std::string& path, const fs::path& target) {
    struct stat status {};
    if (stat(target.c_str(), &status) != 0) return;  // nothing there yet
    if (S_ISDIR(status.st_mode)) throw Failure("cannot write " + path + ": it is a folder");
    if ((status.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)
        throw Failure("cannot write " + path + ": " + SystemError(EACCES));
}

// The watchdog held off while the object lives.
class WatchdogHeldOff {
public:
    explicit WatchdogHeldOff(const StopTable& stops) : stops_(stops) { stops_.holdOffWatchdog(); }
    ~WatchdogHeldOff() { stops_.releaseWatchdog(); }
    WatchdogHeldOff(const WatchdogHeldOff&) = delete;
    WatchdogHeldOff& operator=(const WatchdogHeldOff&) = delete;

private:
    const StopTable& stops_;
};

// A file beside the target that disappears unless it is renamed into place,
// even when a stop ends the program while it is being written.
class TempFile {
public:
    TempFile(const fs::path& target, const StopTable& stops)
        : target_(target), path_(FolderOf(target) / TemporaryName(target.filename().string())), stops_(stops) {
        stops_.setTemporary(path_.c_str());
    }
    ~TempFile() {
        if (!committed_) std::remove(path_.c_str());
        stops_.setTemporary("");
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const fs::path& Path() const { return path_; }
    // Renames the file into place, with the owner and permissions of the file
    // it replaces (the owner where the user may give it: root), unless a stop
    // came meanwhile.
    void Commit(const std::string& shownName) {
        const WatchdogHeldOff heldOff(stops_);
        if (const int signal = stops_.signal(); signal != 0) throw Stopped(signal, shownName);
        struct stat replaced {};
        if (stat(target_.c_str(), &replaced) == 0) {
            if (chown(path_.c_str(), replaced.st_uid, replaced.st_gid) != 0) {
                // Not the user's to give away: the file is the user's, as any editor leaves it.
            }
            chmod(path_.c_str(), replaced.st_mode & 07777);
        }
        if (std::rename(path_.c_str(), target_.c_str()) != 0)
            throw Failure("cannot write " + shownName + ": " + SystemError(errno));
        committed_ = true;
    }

private:
    fs::path target_;
    fs::path path_;
    const StopTable& stops_;
    bool committed_ = false;
};

// The channel type a file gets for a frame depth. Writers silently fall
// back for types they cannot hold, PNG to 8 bits for float and OpenEXR to
// half for 16 bits; those two get the richer type they do hold instead.
OIIO::TypeDesc FileType(int32_t depth, const OIIO::ImageOutput& out) {
    const std::string_view format = out.format_name();
    if (depth == 8) return OIIO::TypeDesc::UINT8;
    if (depth == 16) return format == "openexr" ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::UINT16;
    return format == "png" ? OIIO::TypeDesc::UINT16 : OIIO::TypeDesc::FLOAT;
}

// Whether every pixel's red, green and blue are the same.
template <typename D>
bool ColoursEqual(const FrameImage& frame) {
    using Host = typename D::Host;
    const size_t count = size_t(frame.width) * size_t(frame.height);
    const Host* argb = reinterpret_cast<const Host*>(frame.Bytes());
    for (size_t i = 0; i < count; ++i, argb += 4)
        if (std::memcmp(&argb[1], &argb[2], sizeof(Host)) != 0 || std::memcmp(&argb[1], &argb[3], sizeof(Host)) != 0)
            return false;
    return true;
}

// The file's channels in its order (red or gray first, alpha last) from the
// host's alpha, red, green, blue.
template <typename D>
std::vector<typename D::File> FileChannels(const FrameImage& frame, const std::vector<int>& fromHost) {
    const size_t count = size_t(frame.width) * size_t(frame.height);
    const size_t channels = fromHost.size();
    std::vector<typename D::File> file(count * channels);
    for (size_t i = 0; i < count; ++i) {
        typename D::Host argb[4];
        std::memcpy(argb, frame.Bytes() + i * sizeof argb, sizeof argb);
        for (size_t c = 0; c < channels; ++c) file[i * channels + c] = D::ToFile(argb[fromHost[c]]);
    }
    return file;
}

// Whether channels of `type` hold every value of a frame of `depth`.
bool HoldsDepth(OIIO::TypeDesc type, int32_t depth) {
    if (type == OIIO::TypeDesc::FLOAT) return true;
    if (type == OIIO::TypeDesc::UINT16) return depth <= 16;
    return depth == 8 && (type == OIIO::TypeDesc::UINT8 || type == OIIO::TypeDesc::HALF);
}

std::string Names(const OIIO::ImageSpec& layout) {
    std::string text;
    for (const std::string& name : layout.channelnames) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Whether the written file lacks the orientation its picture has: a picture
// that shows turned where the input did not.
bool OrientationLost(const fs::path& file, const std::string& format, const OIIO::ImageSpec& layout) {
    const int orientation = layout.get_int_attribute("Orientation", 1);
    if (orientation == 1) return false;
    std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::create(format);
    OIIO::ImageSpec written;
    const bool opened = in && in->open(file.string(), written);
    OIIO::geterror();  // a format this cannot tell is no loss to report
    return opened && written.get_int_attribute("Orientation", 1) != orientation;
}

std::string LossNote(const std::string& path, const FrameImage& frame, OIIO::TypeDesc written, bool alphaLost,
                     bool orientationLost, const std::string& othersLost) {
    std::vector<std::string> lost;
    if (!HoldsDepth(written, frame.depth))
        lost.push_back(std::to_string(written.size() * 8) + "-bit channels, not the frame's " +
                       (frame.depth == 32 ? "floats" : std::to_string(frame.depth) + " bits"));
    if (alphaLost) lost.push_back(lost.empty() ? "no alpha; the frame's alpha is left out" : "no alpha");
    if (orientationLost) lost.push_back("no orientation; the picture shows unturned");
    if (!othersLost.empty()) lost.push_back("only the picture's channels; " + othersLost + " are left out");
    std::string text;
    for (size_t i = 0; i < lost.size(); ++i) text += (i == 0 ? "" : i + 1 < lost.size() ? ", " : ", and ") + lost[i];
    return text.empty() ? "" : path + " holds " + text;
}

// The picture's channels in `type`, then the other channels each in its own,
// pixel by pixel: the layout of a file with per-channel types.
template <typename File>
std::vector<std::byte> WithOthers(const std::vector<File>& picture, OIIO::TypeDesc pictureType, OIIO::TypeDesc type,
                                  const OIIO::ImageSpec& layout, const OtherChannels& others) {
    const int channels = layout.nchannels - int(others.formats.size());
    const size_t pixelBytes = layout.pixel_bytes(true);
    std::vector<std::byte> data(pixelBytes * size_t(layout.width) * size_t(layout.height));
    const OIIO::stride_t x = OIIO::stride_t(pixelBytes), y = x * layout.width;
    bool done =
        OIIO::convert_image(channels, layout.width, layout.height, 1, picture.data(), pictureType, OIIO::AutoStride,
                            OIIO::AutoStride, OIIO::AutoStride, data.data(), type, x, y, OIIO::AutoStride);
    size_t offset = size_t(channels) * type.size();
    for (int c = 0; c < int(others.formats.size()); ++c) {
        const OIIO::ROI roi(0, layout.width, 0, layout.height, 0, 1, c, c + 1);
        done = done && others.pixels.get_pixels(roi, others.formats[c], data.data() + offset, x, y);
        offset += others.formats[c].size();
    }
    if (!done) throw Failure("cannot convert the channels: " + others.pixels.geterror());
    return data;
}

// Why the file written is not whole, or nothing. Where the format needs its
// name (OpenImageIO's writers without an output proxy), the file is read
// back: their writers may report success for a file cut short.
std::string WrittenError(const fs::path& file, const std::string& format, CheckedFile* checked) {
    if (checked != nullptr) {
        const int error = checked->Finish();
        return error != 0 ? SystemError(error) : "";
    }
    if (const int error = SyncFile(file.string())) return SystemError(error);
    std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::create(format);
    OIIO::ImageSpec layout;
    if (in && !in->open(file.string(), layout)) in.reset();
    std::vector<std::byte> pixels(layout.image_bytes(true));
    const bool whole =
        in && in->read_image(0, 0, 0, layout.nchannels, OIIO::TypeUnknown, pixels.data()) && in->geterror().empty();
    OIIO::geterror();  // what the reader said is answered here
    return whole ? "" : "the file came out incomplete (a full disk, or a file-size limit?)";
}

// Asks the writer for zlib `level` where the format has one: PNG names it
// apart, TIFF and OpenEXR take it with their default zip compression.
void SetCompression(OIIO::ImageSpec& layout, const OIIO::ImageOutput& out, int32_t level) {
    const std::string_view format = out.format_name();
    if (format == "png") layout.attribute("png:compressionLevel", level);
    if (format == "tiff" || format == "openexr") layout.attribute("compression", "zip:" + std::to_string(level));
}

}  // namespace

void CheckWritable(const std::string& path) {
    const fs::path target = WriteTarget(path);
    RefuseToReplace(path, target);
    if (!OIIO::ImageOutput::create(target.string())) throw Failure("cannot write " + path + ": " + OIIO::geterror());
    const fs::path folder = FolderOf(target);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw Failure("cannot write " + path + ": no folder " + folder.string());
    if (access(folder.c_str(), W_OK) != 0) throw Failure("cannot write " + path + ": " + SystemError(errno));
}

std::string WriteFrame(const FrameImage& frame, const std::string& path, const FileTraits& traits, int32_t compression,
                       const StopTable& stops) {
    const fs::path target = WriteTarget(path);
    RefuseToReplace(path, target);
    TempFile temp(target, stops);
    std::unique_ptr<OIIO::ImageOutput> out = OIIO::ImageOutput::create(target.string());
    if (!out) throw Failure("cannot write " + path + ": " + OIIO::geterror());
    const bool alpha = frame.hasAlpha && out->supports("alpha");
    const bool gray = traits.gray && WithDepth(frame.depth, [&](auto d) { return ColoursEqual<decltype(d)>(frame); });
    std::vector<int> fromHost = gray ? std::vector<int>{1} : std::vector<int>{1, 2, 3};
    if (alpha) fromHost.push_back(0);
    const int channels = int(fromHost.size());
    const bool withOthers = !traits.others.formats.empty() && out->supports("channelformats");

    const OIIO::TypeDesc type = FileType(frame.depth, *out);
    OIIO::ImageSpec layout(frame.width, frame.height, channels, type);
    std::vector<std::string> names = gray ? std::vector<std::string>{"Y"} : std::vector<std::string>{"R", "G", "B"};
    if (alpha) names.push_back("A");
    for (std::string& name : names) name.insert(0, traits.layer.empty() ? "" : traits.layer + ".");
    if (gray || !traits.layer.empty()) layout.channelnames = names;
    layout.alpha_channel = alpha ? channels - 1 : -1;
    layout.extra_attribs = traits.metadata;
    // The input's time, or none: a rerun must give the same bytes. Writers
    // that are given no time at all put in the present one.
    if (layout.find_attribute("DateTime") == nullptr) layout.attribute("DateTime", "");
    layout.attribute("oiio:UnassociatedAlpha", 1);  // written as they are, not divided by alpha
    if (withOthers) {
        const OIIO::ImageSpec& others = traits.others.pixels.spec();
        layout.channelformats.assign(size_t(channels), type);
        for (int c = 0; c < others.nchannels; ++c) {
            layout.channelnames.push_back(others.channel_name(c));
            layout.channelformats.push_back(traits.others.formats[size_t(c)]);
        }
        layout.nchannels = int(layout.channelnames.size());
    }

    // Writers with an output proxy write through it, under the file's own
    // name (DPX keeps it in the file); the others into the temporary file.
    std::unique_ptr<CheckedFile> checked;
    if (out->supports("ioproxy")) {
        checked = std::make_unique<CheckedFile>(temp.Path().string(), path);
        out->set_ioproxy(checked.get());
    }
    SetCompression(layout, *out, compression);
    OIIO::TypeDesc written;  // what the writer settled on
    std::optional<QuietStream> quiet(std::in_place, stderr);
    WithDepth(frame.depth, [&](auto d) {
        using D = decltype(d);
        const std::vector<typename D::File> data = FileChannels<D>(frame, fromHost);
        const bool opened = out->open(checked ? target.string() : temp.Path().string(), layout);
        written = out->spec().format;
        const bool done =
            opened && (withOthers ? out->write_image(OIIO::TypeUnknown,
                                                     WithOthers(data, D::Type(), type, layout, traits.others).data())
                                  : out->write_image(D::Type(), data.data()));
        if (!done || !out->close()) {
            const std::string reason = FirstLine(out->geterror());
            throw Failure("cannot write " + path + ": " +
                          (reason.empty() ? "the writer failed, saying no more" : reason));
        }
    });
    if (const std::string error = WrittenError(temp.Path(), out->format_name(), checked.get()); !error.empty())
        throw Failure("cannot write " + path + ": " + error);
    const bool orientationLost = OrientationLost(temp.Path(), out->format_name(), layout);
    quiet.reset();
    temp.Commit(path);
    const std::string othersLost =
        traits.others.formats.empty() || withOthers ? "" : Names(traits.others.pixels.spec());
    return LossNote(path, frame, written, frame.hasAlpha && !alpha, orientationLost, othersLost);
}

}  // namespace maculo
