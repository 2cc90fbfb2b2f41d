#include "minihost/AnsiCallbacks.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace maculo::minihost {

AnsiCallbacks::AnsiCallbacks(Journal& journal) : journal_(journal) {
    suite_.atan = [](A_FpLong x) { return std::atan(x); };
    suite_.atan2 = [](A_FpLong y, A_FpLong x) { return std::atan2(y, x); };
    suite_.ceil = [](A_FpLong x) { return std::ceil(x); };
    suite_.cos = [](A_FpLong x) { return std::cos(x); };
    suite_.exp = [](A_FpLong x) { return std::exp(x); };
    suite_.fabs = [](A_FpLong x) { return std::fabs(x); };
    suite_.floor = [](A_FpLong x) { return std::floor(x); };
    suite_.fmod = [](A_FpLong x, A_FpLong y) { return std::fmod(x, y); };
    suite_.hypot = [](A_FpLong x, A_FpLong y) { return std::hypot(x, y); };
    suite_.log = [](A_FpLong x) { return std::log(x); };
    suite_.log10 = [](A_FpLong x) { return std::log10(x); };
    suite_.pow = [](A_FpLong x, A_FpLong y) { return std::pow(x, y); };
    suite_.sin = [](A_FpLong x) { return std::sin(x); };
    suite_.sqrt = [](A_FpLong x) { return std::sqrt(x); };
    suite_.tan = [](A_FpLong x) { return std::tan(x); };
    suite_.sprintf = &AnsiCallbacks::Sprintf;
    suite_.strcpy = [](A_char* dest, const A_char* src) { return std::strcpy(dest, src); };
    suite_.asin = [](A_FpLong x) { return std::asin(x); };
    suite_.acos = [](A_FpLong x) { return std::acos(x); };
    utils_.ansi.procs = suite_;
}

std::vector<std::string> AnsiCallbacks::Printed() const {
    std::lock_guard lock(mutex_);
    return printed_;
}

int AnsiCallbacks::Sprintf(A_char* buffer, const A_char* format, ...) {
    AnsiCallbacks* self = ActiveSlot<AnsiCallbacks>::Get();
    if (self && self->journal_.Call("sprintf", kCanError) == Fault::kError) return -1;
    if (!buffer || !format) {
        if (self) self->journal_.Misuse("sprintf: null buffer or format");
        return -1;
    }
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length >= 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    if (length < 0) return length;

    std::memcpy(buffer, text.c_str(), text.size() + 1);
    if (self) {
        std::lock_guard lock(self->mutex_);
        self->printed_.push_back(std::move(text));
    }
    return length;
}

}  // namespace maculo::minihost
