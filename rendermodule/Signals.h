// Ctrl-C (SIGINT), SIGTERM and SIGHUP stop a render the same way: the
// progress callback asks the plug-in to stop, no file is renamed into place,
// and the process exits with 128 plus the signal's number, as shells report
// it. Where the program cannot notice the stop itself (blocked opening a
// named pipe nobody writes, in a plug-in that never asks), a watchdog ends it
// within a second all the same, removing the temporary file. A second signal
// ends the process at once.
#pragma once

#include <string>

#include "renderlib/CliError.h"
#include "renderlib/Stops.h"

namespace maculo {

// `program` starts the watchdog's line, as it starts every error line.
void InstallStopHandlers(const char* program);

// The signal that asked to stop, or 0.
int StopSignal();

// The error that ends the process after a stop, naming the file not written.
inline CliError Stopped(const std::string& notWritten) { return Stopped(StopSignal(), notWritten); }

// The output the watchdog names as not written.
void SetPendingOutput(const std::string& name);

// The stops for the file module: the temporary file it writes, and the
// watchdog held off while it renames the file into place.
const StopTable& StopsForFiles();

}  // namespace maculo
