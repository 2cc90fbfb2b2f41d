#include "FrameFiles.h"

#include <OpenImageIO/imageio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "CliError.h"
#include "FileDepths.h"
#include "Signals.h"

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

// ".name.pid.tmp": hidden, and distinct for renders running side by side.
// Appended piece by piece: GCC 12 warns (-Wrestrict) wrongly of a
// literal put before a temporary string.
std::string HiddenName(const fs::path& target) {
    return std::string(".")
        .append(target.filename().string())
        .append(".")
        .append(std::to_string(getpid()))
        .append(".tmp");
}

// A file beside the target that disappears unless it is renamed into place.
class TempFile {
public:
    explicit TempFile(const fs::path& target) : target_(target), path_(FolderOf(target) / HiddenName(target)) {}
    ~TempFile() {
        if (!committed_) std::remove(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const fs::path& Path() const { return path_; }
    // Renames the file into place, with the permissions of the file it replaces.
    void Commit(const std::string& shownName) {
        struct stat replaced {};
        if (stat(target_.c_str(), &replaced) == 0) chmod(path_.c_str(), replaced.st_mode & 07777);
        if (std::rename(path_.c_str(), target_.c_str()) != 0)
            throw Failure("cannot write " + shownName + ": " + SystemError(errno));
        committed_ = true;
    }

private:
    fs::path target_;
    fs::path path_;
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

std::string LossNote(const std::string& path, const FrameImage& frame, OIIO::TypeDesc written, bool alphaLost) {
    std::string lost;
    if (!HoldsDepth(written, frame.depth))
        lost = std::to_string(written.size() * 8) + "-bit channels, not the frame's " +
               (frame.depth == 32 ? "floats" : std::to_string(frame.depth) + " bits");
    if (alphaLost) lost += lost.empty() ? "no alpha; the frame's alpha is left out" : ", and no alpha";
    return lost.empty() ? "" : path + " holds " + lost;
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

std::string WriteFrame(const FrameImage& frame, const std::string& path, const FileTraits& traits,
                       int32_t compression) {
    const fs::path target = WriteTarget(path);
    RefuseToReplace(path, target);
    TempFile temp(target);
    std::unique_ptr<OIIO::ImageOutput> out = OIIO::ImageOutput::create(target.string());
    if (!out) throw Failure("cannot write " + path + ": " + OIIO::geterror());
    const bool alpha = frame.hasAlpha && out->supports("alpha");
    const bool gray = traits.gray && WithDepth(frame.depth, [&](auto d) { return ColoursEqual<decltype(d)>(frame); });
    std::vector<int> fromHost = gray ? std::vector<int>{1} : std::vector<int>{1, 2, 3};
    if (alpha) fromHost.push_back(0);
    const int channels = int(fromHost.size());

    OIIO::ImageSpec layout(frame.width, frame.height, channels, FileType(frame.depth, *out));
    if (gray) layout.channelnames = alpha ? std::vector<std::string>{"Y", "A"} : std::vector<std::string>{"Y"};
    layout.alpha_channel = alpha ? channels - 1 : -1;
    layout.extra_attribs = traits.metadata;
    layout.attribute("oiio:UnassociatedAlpha", 1);  // written as they are, not divided by alpha
    SetCompression(layout, *out, compression);
    OIIO::TypeDesc written;  // what the writer settled on
    WithDepth(frame.depth, [&](auto d) {
        using D = decltype(d);
        const std::vector<typename D::File> data = FileChannels<D>(frame, fromHost);
        const bool opened = out->open(temp.Path().string(), layout);
        written = out->spec().format;
        if (!opened || !out->write_image(D::Type(), data.data()) || !out->close())
            throw Failure("cannot write " + path + ": " + out->geterror());
    });
    // A stop that came while the file was written leaves no file either.
    if (StopSignal() != 0) throw Stopped(path);
    temp.Commit(path);
    return LossNote(path, frame, written, frame.hasAlpha && !alpha);
}

}  // namespace maculo
