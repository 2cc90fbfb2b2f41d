// Ctrl-C (SIGINT), SIGTERM and SIGHUP stop a render the same way: the
// progress callback asks the plug-in to stop, no file is renamed into place,
// and the process exits with 128 plus the signal's number, as shells report
// it. Where the program cannot notice the stop itself (blocked opening a
// named pipe nobody writes, in a plug-in that never asks), a watchdog ends it
// within a second all the same, removing the temporary file. A second signal
// ends the process at once.
#pragma once

#include <mutex>
#include <string>

#include "CliError.h"

namespace maculo {

// `program` starts the watchdog's line, as it starts every error line.
void InstallStopHandlers(const char* program);

// The signal that asked to stop, or 0.
int StopSignal();

// The error that ends the process after a stop, naming the file not written.
CliError Stopped(const std::string& notWritten);

// The output the watchdog names as not written.
void SetPendingOutput(const std::string& name);

// The temporary file the watchdog removes, while the object lives.
class PendingTemporary {
public:
    explicit PendingTemporary(const std::string& path);
    ~PendingTemporary();
    PendingTemporary(const PendingTemporary&) = delete;
    PendingTemporary& operator=(const PendingTemporary&) = delete;
};

// Held while a file is renamed into place: the watchdog then waits, so that
// it never calls a file that was written "not written".
std::unique_lock<std::mutex> HoldOffWatchdog();

}  // namespace maculo
