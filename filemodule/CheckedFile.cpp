#include "filemodule/CheckedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "renderlib/CliError.h"

namespace maculo {

CheckedFile::CheckedFile(const std::string& path, const std::string& shownName)
    : IOProxy(path, Write), fd_(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
    if (fd_ < 0) throw Failure("cannot write " + shownName + ": " + std::strerror(errno));
}

CheckedFile::~CheckedFile() { close(); }

void CheckedFile::close() {
    if (fd_ < 0) return;
    // A network or nearly full disk may report its failure only here.
    if (fsync(fd_) != 0 && error_ == 0) error_ = errno;
    if (::close(fd_) != 0 && error_ == 0) error_ = errno;
    fd_ = -1;
}

int CheckedFile::Finish() {
    close();
    return error_;
}

size_t CheckedFile::read(void* buf, size_t size) {
    const size_t got = pread(buf, size, m_pos);
    m_pos += int64_t(got);
    return got;
}

size_t CheckedFile::write(const void* buf, size_t size) {
    pwrite(buf, size, m_pos);
    m_pos += int64_t(size);
    return size;
}

size_t CheckedFile::pread(void* buf, size_t size, int64_t offset) {
    const ssize_t got = fd_ < 0 ? -1 : ::pread(fd_, buf, size, offset);
    return got < 0 ? 0 : size_t(got);
}

size_t CheckedFile::pwrite(const void* buf, size_t size, int64_t offset) {
    size_ = std::max(size_, offset + int64_t(size));
    const char* bytes = static_cast<const char*>(buf);
    // After a failure the rest is dropped: the file is lost anyway.
    for (size_t done = 0; done < size && error_ == 0;) {
        if (fd_ < 0) error_ = EBADF;  // written after close
        const ssize_t n = error_ != 0 ? 0 : ::pwrite(fd_, bytes + done, size - done, offset + int64_t(done));
        if (n > 0) {
            done += size_t(n);
        } else if (error_ == 0 && (n == 0 || errno != EINTR)) {
            error_ = n == 0 ? EIO : errno;
        }
    }
    return size;
}

int SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = fsync(fd) != 0 ? errno : 0;
    ::close(fd);
    return error;
}

}  // namespace maculo
