#include "renderlib/TemporaryFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "renderlib/CliError.h"
#include "renderlib/Options.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

fs::path FolderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// Whether process `pid` of this machine may still be writing: it lives, and
// is not this one (which has written nothing yet when it sweeps).
bool MayWrite(pid_t pid) { return pid != getpid() && (kill(pid, 0) == 0 || errno == EPERM); }

// Who writes a temporary file.
struct Writer {
    std::string machine;
    pid_t pid;
};

// Who writes `name`, if it is the temporary file of a frame of `pattern`:
// ".FRAME.MACHINE.PID.tmp", where MACHINE may hold dots.
std::optional<Writer> WriterOf(std::string_view name, const std::string& pattern) {
    if (!name.starts_with('.') || !name.ends_with(".tmp")) return {};
    name = name.substr(1, name.size() - 5);
    const size_t dot = name.find_last_of('.');
    pid_t pid = 0;
    if (dot == std::string_view::npos ||
        std::from_chars(name.data() + dot + 1, name.data() + name.size(), pid).ptr != name.data() + name.size() ||
        pid <= 0)
        return {};
    name = name.substr(0, dot);  // FRAME.MACHINE
    // FRAME is the pattern's text before its run of '#', digits, and the text after it.
    const size_t run = pattern.find_last_of('#');
    const std::string_view prefix(pattern.data(), run == std::string::npos ? pattern.size()
                                                                           : pattern.find_last_not_of('#', run) + 1);
    const std::string suffix = run == std::string::npos ? "" : pattern.substr(run + 1);
    if (!name.starts_with(prefix)) return {};
    size_t digits = prefix.size();
    int32_t number = 1;
    if (run != std::string::npos) {
        const auto [end, error] = std::from_chars(name.data() + digits, name.data() + name.size(), number);
        if (error != std::errc()) return {};
        digits = size_t(end - name.data());
    }
    const std::string frame = std::string(name.substr(0, digits)) + suffix;
    if (name.substr(digits, suffix.size() + 1) != suffix + "." || FrameFileName(pattern, number) != frame) return {};
    return Writer{std::string(name.substr(frame.size() + 1)), pid};
}

}  // namespace

const std::string& MachineName() {
    static const std::string name = [] {
        char text[256] = {};
        std::string host = gethostname(text, sizeof text - 1) == 0 && text[0] != '\0' ? text : "localhost";
        for (char& c : host)
            if (c == '/') c = '_';  // a name within the folder
        return host;
    }();
    return name;
}

// Appended piece by piece: GCC 12 warns (-Wrestrict) wrongly of a literal
// put before a temporary string.
std::string TemporaryName(const std::string& fileName) {
    return std::string(".")
        .append(fileName)
        .append(".")
        .append(MachineName())
        .append(".")
        .append(std::to_string(getpid()))
        .append(".tmp");
}

int32_t RemoveStaleTemporaries(const std::string& pattern, std::optional<std::chrono::seconds> othersAfter) {
    const fs::path folder = FolderOf(pattern);
    const std::string name = fs::path(pattern).filename().string();
    const auto now = fs::file_time_type::clock::now();
    int32_t removed = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::optional<Writer> writer = WriterOf(entry.path().filename().string(), name);
        if (!writer || !entry.is_regular_file(ec)) continue;
        const bool stale = writer->machine == MachineName()
                               ? !MayWrite(writer->pid)
                               : othersAfter && now - entry.last_write_time(ec) > *othersAfter && !ec;
        if (stale && fs::remove(entry.path(), ec)) ++removed;
    }
    return removed;
}

void CheckFolderWritable(const std::string& path) {
    const fs::path folder = FolderOf(path);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw Failure("cannot write " + path + ": no folder " + folder.string());
    const fs::path probe = folder / TemporaryName(fs::path(path).filename().string());
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    close(fd);
    unlink(probe.c_str());
}

}  // namespace maculo
