#include "renderlib/Stops.h"

#include <csignal>

namespace maculo {

const StopTable& NoStops() {
    static constexpr StopTable kNone{[] { return 0; }, [](const char*) {}, [] {}, [] {}};
    return kNone;
}

CliError Stopped(int signal, const std::string& notWritten) {
    const char* what = signal == SIGTERM ? "terminated" : signal == SIGHUP ? "hung up" : "interrupted";
    return CliError(128 + signal, std::string(what) + "; " + notWritten + " was not written");
}

}  // namespace maculo
