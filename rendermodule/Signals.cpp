#include "rendermodule/Signals.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

namespace maculo {
namespace {

volatile std::sig_atomic_t stopSignal = 0;
int userStderr = STDERR_FILENO;  // standard error as it was, while libraries' output is kept quiet

extern "C" void OnStop(int signal) { stopSignal = signal; }

// What the watchdog needs, guarded by the mutex.
struct Pending {
    std::mutex mutex;
    std::string output;
    std::string temporary;
};

Pending& ThePending() {
    static Pending* pending = new Pending;  // never destroyed: the watchdog outlives main()
    return *pending;
}

// The time a stop has to end the program the ordinary way.
constexpr auto kGrace = std::chrono::milliseconds(700);

void Watch(const char* program) {
    while (stopSignal == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(kGrace);
    Pending& pending = ThePending();
    pending.mutex.lock();  // kept: the process ends here
    if (!pending.temporary.empty()) unlink(pending.temporary.c_str());
    const std::string line = std::string(program) + ": " + Stopped(pending.output).what() + "\n";
    // Only calls that need no lock the stopped thread may hold.
    const ssize_t written = write(userStderr, line.data(), line.size());
    (void)written;  // nothing more to do about it
    _exit(128 + stopSignal);
}

}  // namespace

void InstallStopHandlers(const char* program) {
    struct sigaction action {};
    action.sa_handler = OnStop;
    action.sa_flags = SA_RESETHAND;  // the next one takes the default action
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    // A file-size limit fails the write, which is reported, instead of
    // killing the process and leaving the temporary file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    if (const int saved = dup(STDERR_FILENO); saved >= 0) userStderr = saved;
    std::thread(Watch, program).detach();
}

int StopSignal() { return stopSignal; }

void SetPendingOutput(const std::string& name) {
    const std::lock_guard<std::mutex> lock(ThePending().mutex);
    ThePending().output = name;
}

const StopTable& StopsForFiles() {
    static constexpr StopTable kStops{
        StopSignal,
        [](const char* path) {
            const std::lock_guard<std::mutex> lock(ThePending().mutex);
            ThePending().temporary = path;
        },
        [] { ThePending().mutex.lock(); },
        [] { ThePending().mutex.unlock(); },
    };
    return kStops;
}

}  // namespace maculo
