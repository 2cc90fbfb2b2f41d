// The one error type of the command-line renderer: a message for the user and
// the process exit code that goes with it.
#pragma once

#include <stdexcept>
#include <string>

namespace maculo {

inline constexpr int kExitFailure = 1;  // a file, the plug-in or the render failed
inline constexpr int kExitUsage = 2;    // the command line is wrong
// A render stopped by a signal exits with 128 plus its number (Signals.h).

class CliError : public std::runtime_error {
public:
    CliError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// Libraries may report several lines; the user gets the first.
inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

inline CliError UsageError(const std::string& message) { return CliError(kExitUsage, message); }
inline CliError Failure(const std::string& message) { return CliError(kExitFailure, message); }

}  // namespace maculo
