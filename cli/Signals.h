// Ctrl-C (SIGINT), SIGTERM and SIGHUP stop a render the same way: the
// progress callback asks the plug-in to stop, no file is renamed into place,
// and the process exits with 128 plus the signal's number, as shells report
// it. A second signal ends the process at once.
#pragma once

#include <string>

#include "CliError.h"

namespace maculo {

void InstallStopHandlers();

// The signal that asked to stop, or 0.
int StopSignal();

// The error that ends the process after a stop, naming the file not written.
CliError Stopped(const std::string& notWritten);

}  // namespace maculo
