#include "minihost/WorldSuite.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "minihost/EffectRef.h"
#include "minihost/HandleSuite.h"

namespace maculo::minihost {

A_long BytesPerPixel(PF_PixelFormat format) {
    switch (format) {
        case PF_PixelFormat_ARGB32:
            return 4;
        case PF_PixelFormat_ARGB64:
            return 8;
        case PF_PixelFormat_ARGB128:
            return 16;
        default:
            return 0;
    }
}

WorldSuite::WorldSuite(Journal& journal) : journal_(journal) {
    table_.PF_NewWorld = &WorldSuite::NewWorld;
    table_.PF_DisposeWorld = &WorldSuite::DisposeWorld;
    table_.PF_GetPixelFormat = &WorldSuite::GetPixelFormat;
}

std::unique_ptr<WorldSuite::Buffer> WorldSuite::Allocate(A_long width, A_long height, PF_PixelFormat format,
                                                         A_long padding, const unsigned char* fill,
                                                         PF_EffectWorld& world) {
    const A_long pixelBytes = BytesPerPixel(format);
    if (pixelBytes == 0 || width < 0 || height < 0 || padding < 0) return nullptr;
    const int64_t rowBytes = (int64_t{width} + padding) * pixelBytes;
    const int64_t total = rowBytes * height;
    if (rowBytes > INT32_MAX || total > kMaxWorldBytes) return nullptr;

    auto buffer = std::make_unique<Buffer>();
    buffer->memory = memory_.Take(static_cast<size_t>(std::max<int64_t>(total, 1)));
    if (!buffer->memory.bytes) return nullptr;
    if (fill) std::memset(buffer->memory.bytes.get(), *fill, buffer->memory.size);
    buffer->format = format;
    world = PF_EffectWorld{};
    world.data = reinterpret_cast<PF_PixelPtr>(buffer->memory.bytes.get());
    world.rowbytes = static_cast<A_long>(rowBytes);
    world.width = width;
    world.height = height;
    world.extent_hint = PF_LRect{0, 0, width, height};
    world.pix_aspect_ratio = PF_RationalScale{1, 1};
    return buffer;
}

void WorldSuite::Release(std::map<const void*, std::unique_ptr<Buffer>>::iterator it) {
    memory_.Give(std::move(it->second->memory));
    buffers_.erase(it);
}

PF_EffectWorld* WorldSuite::MakeWorld(A_long width, A_long height, PF_PixelFormat format, A_long paddingPixels) {
    PF_EffectWorld world;
    constexpr unsigned char kZero = 0;
    std::lock_guard lock(mutex_);
    std::unique_ptr<Buffer> buffer = Allocate(width, height, format, paddingPixels, &kZero, world);
    if (!buffer) throw std::invalid_argument("MakeWorld: unsupported format or size");
    buffer->ownedByHost = true;
    buffer->hostWorld = world;
    PF_EffectWorld* record = &buffer->hostWorld;
    buffers_.emplace(world.data, std::move(buffer));
    return record;
}

void WorldSuite::DisposeHostWorld(PF_EffectWorld* world) {
    std::lock_guard lock(mutex_);
    auto it = buffers_.find(world ? world->data : nullptr);
    if (it == buffers_.end() || !it->second->ownedByHost)
        throw std::invalid_argument("DisposeHostWorld: not a world the host made");
    Release(it);
}

void WorldSuite::ReportFormatAs(const PF_EffectWorld* world, PF_PixelFormat format) {
    std::lock_guard lock(mutex_);
    auto it = buffers_.find(world ? world->data : nullptr);
    if (it == buffers_.end()) throw std::invalid_argument("ReportFormatAs: not a world of this host");
    it->second->format = format;
}

void WorldSuite::SetRowPadding(A_long pixels) {
    std::lock_guard lock(mutex_);
    rowPadding_ = pixels;
}

void WorldSuite::SetMarkUnwritten(bool mark) {
    std::lock_guard lock(mutex_);
    markUnwritten_ = mark;
}

void WorldSuite::FailNewWorld(int nthCallFromNow, PF_Err code) {
    std::lock_guard lock(mutex_);
    newWorldFailures_.FailAt(nthCallFromNow, code);
}

void WorldSuite::FailGetPixelFormat(int nthCallFromNow, PF_Err code) {
    std::lock_guard lock(mutex_);
    pixelFormatFailures_.FailAt(nthCallFromNow, code);
}

std::vector<WorldRequest> WorldSuite::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t WorldSuite::LiveEffectWorlds() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(
        std::count_if(buffers_.begin(), buffers_.end(), [](const auto& entry) { return !entry.second->ownedByHost; }));
}

size_t WorldSuite::KeptBytes() const {
    std::lock_guard lock(mutex_);
    return memory_.KeptBytes();
}

PF_Err WorldSuite::NewWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean clear, PF_PixelFormat format,
                            PF_EffectWorld* world) {
    WorldSuite* self = ActiveSlot<WorldSuite>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault =
        self->journal_.Call("PF_NewWorld(" + std::to_string(width) + ", " + std::to_string(height) + ")", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "PF_NewWorld")) return PF_Err_BAD_CALLBACK_PARAM;
    if (!world) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    self->requests_.push_back(WorldRequest{width, height, clear != 0, format});
    if (PF_Err planned = self->newWorldFailures_.Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    if (BytesPerPixel(format) == 0 || width < 0 || height < 0) {
        self->journal_.Misuse("PF_NewWorld: unsupported format or negative size");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    constexpr unsigned char kZero = 0;
    const unsigned char* fill = clear ? &kZero : self->markUnwritten_ ? &kUnwrittenByte : nullptr;
    std::unique_ptr<Buffer> buffer = self->Allocate(width, height, format, self->rowPadding_, fill, *world);
    if (!buffer) return PF_Err_OUT_OF_MEMORY;
    self->buffers_.emplace(world->data, std::move(buffer));
    return PF_Err_NONE;
}

PF_Err WorldSuite::DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world) {
    WorldSuite* self = ActiveSlot<WorldSuite>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    // A disposal that answers an error still takes the world away: the effect can do no more.
    const Fault fault = self->journal_.Call("PF_DisposeWorld", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "PF_DisposeWorld")) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    auto it = self->buffers_.find(world ? world->data : nullptr);
    if (it == self->buffers_.end() || it->second->ownedByHost) {
        self->journal_.Misuse("PF_DisposeWorld: not a world the effect made");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    self->Release(it);
    *world = PF_EffectWorld{};
    return fault == Fault::kError ? kInjectedError : PF_Err_NONE;
}

PF_Err WorldSuite::GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    WorldSuite* self = ActiveSlot<WorldSuite>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("PF_GetPixelFormat", kCanError);
    if (!format) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    if (PF_Err planned = self->pixelFormatFailures_.Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    auto it = self->buffers_.find(world ? world->data : nullptr);
    if (it == self->buffers_.end()) {
        self->journal_.Misuse("PF_GetPixelFormat: not a world of this host");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *format = it->second->format;
    return PF_Err_NONE;
}

}  // namespace maculo::minihost
