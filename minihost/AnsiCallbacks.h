// "PF ANSI Suite" 1 and the util callbacks that embed the same table. The
// effect formats its messages with `sprintf`; every text it produced is kept.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

class AnsiCallbacks {
public:
    explicit AnsiCallbacks(Journal& journal);

    const PF_ANSICallbacksSuite1* Suite() const { return &suite_; }
    // For PF_InData.utils; only its ANSI block is filled.
    PF_UtilCallbacks* Utils() { return &utils_; }

    std::vector<std::string> Printed() const;

private:
    // Like C sprintf: the caller's buffer must be large enough.
    static int Sprintf(A_char* buffer, const A_char* format, ...);

    Journal& journal_;
    PF_ANSICallbacksSuite1 suite_{};
    PF_UtilCallbacks utils_{};
    mutable std::mutex mutex_;
    std::vector<std::string> printed_;
    ActiveSlot<AnsiCallbacks> active_{this};
};

}  // namespace maculo::minihost
