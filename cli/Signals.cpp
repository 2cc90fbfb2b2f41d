#include "Signals.h"

#include <csignal>

#include "CliError.h"

namespace maculo {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStop(int signal) { stopSignal = signal; }

}  // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    action.sa_flags = SA_RESETHAND;  // the next one takes the default action
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int StopSignal() { return stopSignal; }

CliError Stopped(const std::string& notWritten) {
    const int signal = StopSignal();
    const char* what = signal == SIGTERM ? "terminated" : signal == SIGHUP ? "hung up" : "interrupted";
    return CliError(128 + signal, std::string(what) + "; " + notWritten + " was not written");
}

}  // namespace maculo
