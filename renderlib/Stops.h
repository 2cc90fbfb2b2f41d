// A stop as the writing of a file sees it. The render module keeps the
// process's one record of a stop and of the file being written
// (rendermodule/Signals.h); it hands the file module this table of its
// functions when it opens it, so that the two modules share the record
// without linking to each other.
#pragma once

#include <string>

#include "renderlib/CliError.h"

namespace maculo {

struct StopTable {
    int (*signal)();                         // the signal that asked to stop, or 0
    void (*setTemporary)(const char* path);  // the file a stop removes, "" for none
    // Held while a file is renamed into place: a stop then waits, so that it
    // never calls a file that was written "not written".
    void (*holdOffWatchdog)();
    void (*releaseWatchdog)();
};

// Never stopped: for frames written outside a render, as the tests write them.
const StopTable& NoStops();

// The error that ends the process after a stop by `signal`, naming the file
// not written; its exit code is 128 plus the signal's number, as shells report it.
CliError Stopped(int signal, const std::string& notWritten);

}  // namespace maculo
