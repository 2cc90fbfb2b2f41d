#include "Options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "CliError.h"
#include "engine/ControlSettings.h"

namespace maculo {
namespace {

enum OptionCode : int {
    kSize = 256,
    kSeed,
    kDepth,
    kDownsample,
    kFrames,
    kGpu,
    kPlugin,
    kVersion,
    kAbout,
    kControlBase = 1000,  // + parameter index
};

std::vector<option> LongOptions() {
    std::vector<option> options{
        {"help", no_argument, nullptr, 'h'},        {"version", no_argument, nullptr, kVersion},
        {"about", no_argument, nullptr, kAbout},    {"input", required_argument, nullptr, 'i'},
        {"output", required_argument, nullptr, 'o'}, {"plugin", required_argument, nullptr, kPlugin},
        {"size", required_argument, nullptr, kSize}, {"seed", required_argument, nullptr, kSeed},
        {"depth", required_argument, nullptr, kDepth}, {"downsample", required_argument, nullptr, kDownsample},
        {"frames", required_argument, nullptr, kFrames}, {"gpu", no_argument, nullptr, kGpu},
    };
    for (const ControlRow& row : kControls)
        if (!row.cli.name.empty())
            options.push_back({row.cli.name.data(), required_argument, nullptr, int(kControlBase) + row.index});
    options.push_back({nullptr, 0, nullptr, 0});
    return options;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

template <typename T>
bool ParseWhole(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

int32_t ParseInt(std::string_view text, std::string_view option, int32_t min, int32_t max) {
    int32_t value = 0;
    if (!ParseWhole(text, value) || value < min || value > max)
        throw UsageError("--" + std::string(option) + " needs a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not " + Quoted(text));
    return value;
}

std::string FormatNumber(double v) {
    char buffer[32];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, ec == std::errc() ? ptr : buffer);
}

double ParseControlValue(std::string_view text, const ControlRow& control) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    const std::string name = "--" + std::string(control.cli.name);
    const std::string range = FormatNumber(control.range.validMin) + " to " + FormatNumber(control.range.validMax);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
        throw UsageError(name + " needs a number from " + range + " (or start:end), not " + Quoted(text));
    if (control.type == PF_Param_SLIDER && value != std::floor(value))
        throw UsageError(name + " needs a whole number, not " + Quoted(text));
    if (value < control.range.validMin || value > control.range.validMax)
        throw UsageError(name + " must lie from " + range + ", not " + Quoted(text));
    return value;
}

Ramp ParseRamp(std::string_view text, const ControlRow& control) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        const double v = ParseControlValue(text, control);
        return {v, v};
    }
    return {ParseControlValue(text.substr(0, colon), control), ParseControlValue(text.substr(colon + 1), control)};
}

double ParseChoice(std::string_view text, const ControlRow& control) {
    const std::vector<std::string> choices = ChoiceNames(control);
    std::string names;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (text == choices[i]) return double(i + 1);
        names += (i ? "|" : "") + choices[i];
    }
    throw UsageError("--" + std::string(control.cli.name) + " takes " + names + ", not " + Quoted(text));
}

void ParseSize(std::string_view text, CliOptions& options) {
    const size_t x = text.find('x');
    constexpr int32_t kMaxSide = 32768;
    if (x == std::string_view::npos || !ParseWhole(text.substr(0, x), options.noiseWidth) ||
        !ParseWhole(text.substr(x + 1), options.noiseHeight) || options.noiseWidth < 1 ||
        options.noiseHeight < 1 || options.noiseWidth > kMaxSide || options.noiseHeight > kMaxSide)
        throw UsageError("--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxSide) + ", not " +
                         Quoted(text));
}

bool HasFrameRun(const std::string& pattern) {
    return pattern.find('#', pattern.find_last_of('/') + 1) != std::string::npos;
}

// Controls that the chosen mode does not read are accepted but pointed out.
void NoteUnusedControls(const std::vector<ParamIndex>& given, CliOptions& options) {
    const bool simple = options.controls[kParamMode].start == kModeSimple;
    for (const ControlRow& row : kControls) {
        if (!ShownInMode(row, simple) && std::find(given.begin(), given.end(), row.index) != given.end())
            options.notes.push_back("--" + std::string(row.cli.name) + " has no effect with --mode " +
                                    (simple ? "simple" : "detail"));
    }
}

void Validate(CliOptions& options, bool sizeOrSeedGiven) {
    if (options.action != CliOptions::Action::kRender) return;
    if (options.output.empty()) throw UsageError("no output file given (-o FILE); see --help");
    if (!options.input.empty() && sizeOrSeedGiven)
        throw UsageError("--size and --seed shape the built-in noise image and cannot be used with --input");
    if (options.frames > 1 && !HasFrameRun(options.output))
        throw UsageError("--frames " + std::to_string(options.frames) +
                         " needs a run of '#' in the output name for the frame number, e.g. out_####.png");
}

}  // namespace

CliOptions ParseOptions(int argc, char* const* argv) {
    CliOptions options;
    const std::vector<option> longOptions = LongOptions();
    std::vector<ParamIndex> controlsGiven;
    bool sizeOrSeedGiven = false;
    optind = 0;  // fresh scan (GNU), also when called again
    opterr = 0;  // our own messages instead of getopt's
    for (;;) {
        const int code = getopt_long(argc, argv, "+:hi:o:", longOptions.data(), nullptr);
        if (code == -1) break;
        const std::string_view arg = optarg ? optarg : "";
        switch (code) {
            case 'h': options.action = CliOptions::Action::kHelp; break;
            case kVersion: options.action = CliOptions::Action::kVersion; break;
            case kAbout: options.action = CliOptions::Action::kAbout; break;
            case 'i': options.input = arg; break;
            case 'o': options.output = arg; break;
            case kPlugin: options.plugin = arg; break;
            case kSize: ParseSize(arg, options); sizeOrSeedGiven = true; break;
            case kSeed: options.seed = ParseInt(arg, "seed", 0, INT32_MAX); sizeOrSeedGiven = true; break;
            case kDepth:
                options.depth = ParseInt(arg, "depth", 8, 32);
                if (options.depth != 8 && options.depth != 16 && options.depth != 32)
                    throw UsageError("--depth takes 8, 16 or 32, not " + Quoted(arg));
                break;
            case kDownsample: options.downsample = ParseInt(arg, "downsample", 1, 64); break;
            case kFrames: options.frames = ParseInt(arg, "frames", 1, 100000); break;
            case kGpu: options.gpu = true; break;
            case ':': throw UsageError(std::string(argv[optind - 1]) + " needs a value; see --help");
            case '?': throw UsageError("unknown option " + Quoted(argv[optind - 1]) + "; see --help");
            default:
                const ControlRow& row = Control(ParamIndex(code - kControlBase));
                if (row.type == PF_Param_POPUP) {
                    const double v = ParseChoice(arg, row);
                    options.controls[row.index] = {v, v};
                } else {
                    options.controls[row.index] = ParseRamp(arg, row);
                    controlsGiven.push_back(row.index);
                }
        }
    }
    if (optind < argc) throw UsageError("unexpected argument " + Quoted(argv[optind]) + "; see --help");
    Validate(options, sizeOrSeedGiven);
    NoteUnusedControls(controlsGiven, options);
    return options;
}

std::string FrameFileName(const std::string& pattern, int32_t number) {
    const size_t nameStart = pattern.find_last_of('/') + 1;
    const size_t last = pattern.find_last_of('#');
    if (last == std::string::npos || last < nameStart) return pattern;
    size_t first = last;
    while (first > nameStart && pattern[first - 1] == '#') --first;
    std::string digits = std::to_string(number);
    const size_t width = last - first + 1;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return pattern.substr(0, first) + digits + pattern.substr(last + 1);
}

namespace {

// One line per control: its option, its range and its default, from the table.
std::string ControlsHelp() {
    std::string text;
    for (const ControlRow& row : kControls) {
        if (row.cli.name.empty()) continue;
        std::string option = "--" + std::string(row.cli.name) + " ";
        std::string line = std::string(row.cli.help);
        std::string dephault = FormatNumber(row.dephault);
        if (row.type == PF_Param_POPUP) {
            const std::vector<std::string> choices = ChoiceNames(row);
            for (size_t i = 0; i < choices.size(); ++i) option += (i ? "|" : "") + choices[i];
            dephault = choices.at(size_t(row.dephault) - 1);
        } else {
            option += row.cli.metavar;
            line += ", " + FormatNumber(row.range.validMin) + " to " + FormatNumber(row.range.validMax);
        }
        const char* mode = row.shownIn == ShownIn::kSimple ? "; simple" : row.shownIn == ShownIn::kDetail ? "; detail" : "";
        text += "      " + option + std::string(std::max<size_t>(2, 23 - option.size()), ' ') + line + " (default " +
                dephault + mode + ")\n";
    }
    return text;
}

}  // namespace

std::string HelpText(const std::string& program) {
    return "Usage: " + program + R"( [options] -o OUTPUT

Renders the Maculo Pattern effect with the plug-in library, outside the host.

Input and output:
  -i, --input FILE       picture to start from (anything OpenImageIO reads);
                         without it, a built-in noise image
      --size WxH         size of the noise image (default 1920x1080)
      --seed N           seed of the noise image (default 1)
  -o, --output FILE      file to write (anything OpenImageIO writes); a run of
                         '#' is replaced by the frame number (out_####.png)
      --depth 8|16|32    bits per channel of the frame (default: the input's;
                         8 for the noise image)
      --frames N         render N frames, numbered from 1 (default 1)
      --downsample N     render at 1/N resolution, as the host's preview does
      --gpu              render with the host's OpenCL framework (falls back to
                         the processor when no GPU can be used)
      --plugin PATH      plug-in library (default: MaculoPattern.so next to
                         this program)

Effect controls (numbers may be given as start:end to animate them linearly
over the frames, e.g. --amount 1:32):
)" + ControlsHelp() + R"(
Other:
  -h, --help             this text
      --version          the program's version
      --about            the plug-in's about text

Exit status: 0 done, 1 a file, the plug-in or the render failed, 2 a wrong
command line, 130 interrupted (Ctrl-C; the unfinished file is not written).
)";
}

}  // namespace maculo
