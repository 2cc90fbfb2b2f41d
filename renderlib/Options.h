// The renderer's command line: what to render, from what, into which files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "renderlib/Compression.h"
#include "renderlib/Controls.h"

namespace maculo {

struct CliOptions {
    enum class Action { kRender, kHelp, kVersion, kAbout };
    Action action = Action::kRender;
    std::string input;   // empty: the built-in noise image; a run of '#' reads one file per frame
    std::string output;  // may carry a run of '#' for the frame number
    std::string plugin;  // empty: next to the program
    int32_t noiseWidth = 1920;
    int32_t noiseHeight = 1080;
    int32_t seed = 1;
    int32_t depth = 0;  // 8, 16 or 32; 0 follows the input
    int32_t downsample = 1;
    int32_t frames = 1;
    bool framesGiven = false;  // else an input sequence has as many as it has files
    int32_t start = 1;         // the number of the sequence's first frame
    // The frames this run renders, numbered within the sequence; a render
    // farm splits a sequence into such ranges. 0 for `last`: through the last.
    int32_t first = 1;
    int32_t last = 0;
    int32_t threads = 0;  // 0: the processors this process may use
    bool skipExisting = false;  // keep the frames already written, render the others
    // Minutes after which another machine's temporary files of the output
    // count as left by a killed run; -1: never.
    int32_t staleAfter = -1;
    int32_t compression = kDefaultCompression;
    bool quiet = false;  // no progress bar or notes; errors and the closing line only
    bool gpu = false;
    ControlRamps controls = DefaultControls();
    std::vector<std::string> notes;  // harmless oddities worth telling the user

    std::string layer;  // the input's layer or part holding the picture; "" for the unnamed one

    int32_t Last() const { return last != 0 ? last : start + frames - 1; }
};

// Throws CliError (exit code 2) with one clear line for anything it refuses.
CliOptions ParseOptions(int argc, char* const* argv);
// The same for the arguments alone, without the program's name.
CliOptions ParseOptions(std::vector<std::string> args);

std::string HelpText(const std::string& program);

// The output name for frame `number`: the last run of '#' in the file name
// replaced by the number, zero-padded to the run's length.
std::string FrameFileName(const std::string& pattern, int32_t number);

}  // namespace maculo
