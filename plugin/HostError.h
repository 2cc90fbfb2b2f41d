// The error that unwinds a command when the host withholds something it
// needs; EffectMain turns it into the command's result.
#pragma once

#include <exception>

#include "hostapi/HostApi.h"

namespace maculo {

class HostError : public std::exception {
public:
    explicit HostError(PF_Err code) noexcept : code_(code) {}
    PF_Err Code() const noexcept { return code_; }
    const char* what() const noexcept override { return "host error"; }

private:
    PF_Err code_;
};

// A record the host must pass with a command; its absence is reported the
// host's way instead of being dereferenced.
template <class Record>
Record& RequireRecord(Record* record) {
    if (record == nullptr) {
        throw HostError(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    return *record;
}

}  // namespace maculo
