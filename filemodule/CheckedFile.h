// The file an image writer writes into, holding on to the first error.
// OpenImageIO's writers differ in what they make of a failed write (a full
// disk, a file-size limit): some carry on and report success, and libjpeg
// ends the process. Every write is therefore answered as done, and the
// caller asks Finish() once the writer has closed.
#pragma once

#include <OpenImageIO/filesystem.h>

#include <string>

namespace maculo {

class CheckedFile final : public OIIO::Filesystem::IOProxy {
public:
    // Creates or empties the file; throws CliError naming `shownName` when
    // it cannot.
    CheckedFile(const std::string& path, const std::string& shownName);
    ~CheckedFile() override;
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    const char* proxytype() const override { return "checked"; }
    void close() override;
    size_t read(void* buf, size_t size) override;
    size_t write(const void* buf, size_t size) override;
    size_t pread(void* buf, size_t size, int64_t offset) override;
    size_t pwrite(const void* buf, size_t size, int64_t offset) override;
    size_t size() const override { return size_t(size_); }

    // Flushes the file to the disk and closes it: the errno of the first
    // failure on the way, or 0.
    int Finish();

private:
    int fd_;
    int error_ = 0;
    int64_t size_ = 0;
};

// Flushes a file that a writer wrote by its name to the disk: the errno of a
// failure, or 0.
int SyncFile(const std::string& path);

}  // namespace maculo
