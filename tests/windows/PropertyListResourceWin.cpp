#include <windows.h>

#include <cstring>
#include <stdexcept>

#include "resources/PropertyList.h"
#include "tests/windows/PropertyListResource.h"

namespace maculo::check {
namespace {

// The library mapped as an image for its resources only; no code of it runs.
class ResourceImage {
public:
    explicit ResourceImage(const std::string& path)
        : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE)) {
        if (module_ == nullptr) {
            throw std::runtime_error("cannot map " + path + ": error " + std::to_string(GetLastError()));
        }
    }
    ~ResourceImage() { FreeLibrary(module_); }
    ResourceImage(const ResourceImage&) = delete;
    ResourceImage& operator=(const ResourceImage&) = delete;

    HMODULE Module() const { return module_; }

private:
    HMODULE module_;
};

}  // namespace

void CheckPropertyListResource(const std::string& path) {
    const ResourceImage image(path);
    HRSRC resource = FindResourceExA(image.Module(), "PIPL", MAKEINTRESOURCEA(kPropertyListResourceId),
                                     kPropertyListLanguage);
    if (resource == nullptr) throw std::runtime_error("no PIPL resource 16000 in language 1033");
    const DWORD size = SizeofResource(image.Module(), resource);
    HGLOBAL loaded = LoadResource(image.Module(), resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) throw std::runtime_error("the PIPL resource cannot be loaded");
    if (size != kPropertyList.size() || std::memcmp(bytes, kPropertyList.data(), size) != 0) {
        throw std::runtime_error("the PIPL resource (" + std::to_string(size) +
                                 " bytes) differs from the property list");
    }
}

}  // namespace maculo::check
