#include "Options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "CliError.h"

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
    kNumericBase = 1000,  // + index into kNumericControls
    kChoiceBase = 2000,   // + index into kChoiceControls
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
    for (size_t i = 0; i < kNumericControls.size(); ++i)
        options.push_back({kNumericControls[i].option.data(), required_argument, nullptr, int(kNumericBase + i)});
    for (size_t i = 0; i < kChoiceControls.size(); ++i)
        options.push_back({kChoiceControls[i].option.data(), required_argument, nullptr, int(kChoiceBase + i)});
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

double ParseControlValue(std::string_view text, const NumericControl& control) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    const std::string name = "--" + std::string(control.option);
    const std::string range = FormatNumber(control.min) + " to " + FormatNumber(control.max);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
        throw UsageError(name + " needs a number from " + range + " (or start:end), not " + Quoted(text));
    if (control.whole && value != std::floor(value))
        throw UsageError(name + " needs a whole number, not " + Quoted(text));
    if (value < control.min || value > control.max)
        throw UsageError(name + " must lie from " + range + ", not " + Quoted(text));
    return value;
}

Ramp ParseRamp(std::string_view text, const NumericControl& control) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        const double v = ParseControlValue(text, control);
        return {v, v};
    }
    return {ParseControlValue(text.substr(0, colon), control), ParseControlValue(text.substr(colon + 1), control)};
}

int32_t ParseChoice(std::string_view text, const ChoiceControl& control) {
    std::string names;
    for (size_t i = 0; i < control.choices.size() && !control.choices[i].empty(); ++i) {
        if (text == control.choices[i]) return int32_t(i + 1);
        names += (i ? "|" : "") + std::string(control.choices[i]);
    }
    throw UsageError("--" + std::string(control.option) + " takes " + names + ", not " + Quoted(text));
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
void NoteUnusedControls(const std::vector<int32_t>& given, CliOptions& options) {
    const bool simple = options.controls[kParamMode].start == 1.0;
    for (const NumericControl& c : kNumericControls) {
        const bool simpleOnly = c.param == kParamWidth;
        const bool detailOnly = c.param == kParamBlurRadius || c.param == kParamSharpRadius || c.param == kParamSharpen;
        const bool unused = simple ? detailOnly : simpleOnly;
        if (unused && std::find(given.begin(), given.end(), c.param) != given.end())
            options.notes.push_back("--" + std::string(c.option) + " has no effect with --mode " +
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
    std::vector<int32_t> controlsGiven;
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
                if (code >= kChoiceBase) {
                    const ChoiceControl& c = kChoiceControls[code - kChoiceBase];
                    const double v = ParseChoice(arg, c);
                    options.controls[c.param] = {v, v};
                } else {
                    const NumericControl& c = kNumericControls[code - kNumericBase];
                    options.controls[c.param] = ParseRamp(arg, c);
                    controlsGiven.push_back(c.param);
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
      --mode simple|detail   which controls set the pattern (default simple)
      --width W              pattern size in pixels, 0 to 200 (default 6; simple)
      --blur-radius R        blur radius, 0 to 200 (default 6; detail)
      --sharp-radius R       sharpen radius, 0 to 200 (default 6; detail)
      --sharpen S            sharpening in percent, 0 to 10000 (default 1000; detail)
      --amount N             iterations, 1 to 1000 (default 32)
      --blur box|gaussian    pattern blur (default gaussian)
      --gray off|before|after  gray conversion (default before)

Other:
  -h, --help             this text
      --version          the program's version
      --about            the plug-in's about text

Exit status: 0 done, 1 a file, the plug-in or the render failed, 2 a wrong
command line, 130 interrupted (Ctrl-C; the unfinished file is not written).
)";
}

}  // namespace maculo
