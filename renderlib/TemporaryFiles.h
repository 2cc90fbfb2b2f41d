// A frame is written into a temporary file beside it and renamed into place.
// The temporary file's name says which frame, machine and process write it
// (".out_0001.png.node7.4711.tmp"), so that a later run removes those of a
// run that was killed, and only those no live process may still write.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace maculo {

// This machine's name as temporary files and the closing line carry it.
const std::string& MachineName();

// The name of the temporary file this process writes `fileName` into.
std::string TemporaryName(const std::string& fileName);

// Removes the temporary files of frames of `pattern` (an output name, with a
// run of '#' for the frame number) in its folder that no live process may
// still write: this machine's whose process has ended, and other machines'
// (a shared folder) untouched for `othersAfter`, where it is given. Returns
// how many it removed.
int32_t RemoveStaleTemporaries(const std::string& pattern, std::optional<std::chrono::seconds> othersAfter);

// Throws CliError (exit 1) when no file can be made in the folder of `path`:
// the folder is missing, or the file created there to try it could not be.
void CheckFolderWritable(const std::string& path);

}  // namespace maculo
