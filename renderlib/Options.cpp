#include "renderlib/Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <string_view>

#include "controls/ChoiceNames.h"
#include "engine/ControlSettings.h"
#include "renderlib/CliError.h"

namespace maculo {
namespace {

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
        throw UsageError("--" + std::string(option) + " needs a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not " + Quoted(text));
    return value;
}

std::string FormatNumber(double v) {
    char buffer[32];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, ec == std::errc() ? ptr : buffer);
}

double ParseControlValue(std::string_view text, const Control& control) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    const std::string name = "--" + std::string(control.name);
    const std::string range = FormatNumber(control.range.validMin) + " to " + FormatNumber(control.range.validMax);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
        throw UsageError(name + " needs a number from " + range + " (or start:end), not " + Quoted(text));
    if (control.kind == ControlKind::kWholeNumber && value != std::floor(value))
        throw UsageError(name + " needs a whole number, not " + Quoted(text));
    if (value < control.range.validMin || value > control.range.validMax)
        throw UsageError(name + " must lie from " + range + ", not " + Quoted(text));
    return value;
}

Ramp ParseRamp(std::string_view text, const Control& control) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        const double v = ParseControlValue(text, control);
        return {v, v};
    }
    // A third part would be read as a wrong end ("not '2:3'"); the whole is wrong.
    if (text.find(':', colon + 1) != std::string_view::npos) ParseControlValue(text, control);
    return {ParseControlValue(text.substr(0, colon), control), ParseControlValue(text.substr(colon + 1), control)};
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
    return text;
}

double ParseChoice(std::string_view text, const Control& control) {
    const std::vector<std::string> choices = ChoiceNames(control);
    const auto found = std::find(choices.begin(), choices.end(), text);
    if (found == choices.end())
        throw UsageError("--" + std::string(control.name) + " takes " + Joined(choices) + ", not " + Quoted(text));
    return double(found - choices.begin() + 1);
}

void ParseSize(std::string_view text, CliOptions& options) {
    const size_t x = text.find('x');
    constexpr int32_t kMaxSide = 32768;
    if (x == std::string_view::npos || !ParseWhole(text.substr(0, x), options.noiseWidth) ||
        !ParseWhole(text.substr(x + 1), options.noiseHeight) || options.noiseWidth < 1 || options.noiseHeight < 1 ||
        options.noiseWidth > kMaxSide || options.noiseHeight > kMaxSide)
        throw UsageError("--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxSide) + ", not " +
                         Quoted(text));
}

// A chunk of the sequence: whole frame numbers, the first no later than the last.
void ParseRange(std::string_view text, CliOptions& options) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || !ParseWhole(text.substr(0, colon), options.first) ||
        !ParseWhole(text.substr(colon + 1), options.last) || options.first < 1 || options.last < options.first)
        throw UsageError("--range needs FIRST:LAST, frame numbers from 1 with FIRST not after LAST, not " +
                         Quoted(text));
}

bool HasFrameRun(const std::string& pattern) {
    return pattern.find('#', pattern.find_last_of('/') + 1) != std::string::npos;
}

void Validate(const CliOptions& options, bool sizeOrSeedGiven) {
    if (options.action != CliOptions::Action::kRender) return;
    if (options.output.empty()) throw UsageError("no output file given (-o FILE); see --help");
    if (!options.input.empty() && sizeOrSeedGiven)
        throw UsageError("--size and --seed shape the built-in noise image and cannot be used with --input");
    if (options.frames > 1 && !HasFrameRun(options.output))
        throw UsageError("--frames " + std::to_string(options.frames) +
                         " needs a run of '#' in the output name for the frame number, e.g. out_####.png");
    if (!options.layer.empty() && options.input.empty())
        throw UsageError("--layer picks the picture's channels of an --input file, and no --input is given");
    // An input sequence without --frames has as many as there are files, known later.
    const bool framesFromFiles =
        !options.framesGiven && FrameFileName(options.input, 1) != FrameFileName(options.input, 2);
    if (!framesFromFiles && options.Last() > options.frames)
        throw UsageError("--range ends at frame " + std::to_string(options.Last()) + ", after the last of --frames " +
                         std::to_string(options.frames));
}

// A control's help line: what it does, its range, its default and the mode
// that reads it.
std::string ControlHelp(const Control& row) {
    std::string text(row.help);
    std::string defaultText = FormatNumber(row.defaultValue);
    if (row.kind == ControlKind::kChoice) {
        defaultText = ChoiceNames(row).at(size_t(row.defaultValue) - 1);
    } else {
        text += ", " + FormatNumber(row.range.validMin) + " to " + FormatNumber(row.range.validMax);
    }
    const char* mode = row.shownIn == ShownIn::kSimple ? "; simple" : row.shownIn == ShownIn::kDetail ? "; detail" : "";
    return text + " (default " + defaultText + mode + ")";
}

constexpr char kControlsGroup[] = "Effect controls";
constexpr char kControlsNote[] =
    " (numbers may be given as start:end to animate them linearly\nover the frames, e.g. --amount 1:32)";

// Every option, declared once: CLI11 parses the command line with them, and
// the help text is written from them. An option's group is its help section.
class CommandLine {
public:
    CommandLine() {
        app_.set_help_flag();  // --help is ours: an action, not an exit
        app_.allow_extras();   // refused after parsing, with our own message
        app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

        app_.option_defaults()->group("Input and output");
        Add("-i,--input", "FILE",
            "picture to start from (anything OpenImageIO reads);\na run of '#' reads one per frame (in_####.exr);\n"
            "without it, a built-in noise image",
            [this](const std::string& v) { options_.input = v; });
        Add("--size", "WxH", "size of the noise image (default 1920x1080)",
            [this](const std::string& v) { ParseSize(v, options_); });
        Add("--seed", "N", "seed of the noise image (default 1)",
            [this](const std::string& v) { options_.seed = ParseInt(v, "seed", 0, INT32_MAX); });
        Add("-o,--output", "FILE",
            "file to write (anything OpenImageIO writes); a run of\n'#' is replaced by the frame number (out_####.png)",
            [this](const std::string& v) { options_.output = v; });
        Add("--depth", "8|16|32", "bits per channel of the frame (default: the input's;\n8 for the noise image)",
            [this](const std::string& v) {
                options_.depth = ParseInt(v, "depth", 8, 32);
                if (options_.depth != 8 && options_.depth != 16 && options_.depth != 32)
                    throw UsageError("--depth takes 8, 16 or 32, not " + Quoted(v));
            });
        Add("--layer", "NAME",
            "the input's layer (diffuse.R, diffuse.G, ...) or part\nthat holds the picture (default: R, G, B, A or Y\n"
            "without a layer name)",
            [this](const std::string& v) { options_.layer = v; });
        Add("--frames", "N",
            "render N frames, numbered from 1 (default 1, or the\nframes of an input sequence as its files number "
            "them)",
            [this](const std::string& v) {
                options_.frames = ParseInt(v, "frames", 1, 100000);
                options_.framesGiven = true;
            });
        Add("--range", "FIRST:LAST",
            "render only frames FIRST to LAST of --frames, as\n"
            "the whole sequence renders them (a render farm's\nshare)",
            [this](const std::string& v) { ParseRange(v, options_); });
        Add("--downsample", "N", "render at 1/N resolution, as the host's preview does",
            [this](const std::string& v) { options_.downsample = ParseInt(v, "downsample", 1, 64); });
        app_.add_flag("--gpu", options_.gpu,
                      "render with the host's OpenCL framework (falls back to\nthe processor when no GPU can be used)");
        Add("--plugin", "PATH", "plug-in library (default: MaculoPattern.so next to\nthis program)",
            [this](const std::string& v) { options_.plugin = v; });
        Add("--threads", "N",
            "processor threads to render with (default: the\nprocessors this process may use)",
            [this](const std::string& v) { options_.threads = ParseInt(v, "threads", 1, 1024); });
        app_.add_flag("--skip-existing", options_.skipExisting,
                      "keep the output frames already there; render the\nmissing ones (a chunk run again)");
        Add("--stale-after", "MINUTES",
            "remove other machines' temporary files of the output\nuntouched this long (default: never; this "
            "machine's\nare removed once their process has ended)",
            [this](const std::string& v) { options_.staleAfter = ParseInt(v, "stale-after", 0, 525600); });
        Add("--compression", "1-9",
            "zlib level of PNG, TIFF and OpenEXR files: 1 writes\nfastest, 9 smallest (default " +
                std::to_string(kDefaultCompression) + ")",
            [this](const std::string& v) { options_.compression = ParseInt(v, "compression", 1, 9); });
        app_.add_flag("-q,--quiet", options_.quiet, "no progress bar or notes; errors and the closing\nline only");

        app_.option_defaults()->group(kControlsGroup);
        for (const Control& row : kControls) {
            if (!CarriesValue(row)) continue;
            const std::string name = "--" + std::string(row.name);
            if (row.kind == ControlKind::kChoice) {
                Add(name, Joined(ChoiceNames(row)), ControlHelp(row), [this, &row](const std::string& v) {
                    const double choice = ParseChoice(v, row);
                    options_.controls[row.index] = {choice, choice};
                });
            } else {
                Add(name, std::string(row.symbol), ControlHelp(row),
                    [this, &row](const std::string& v) { options_.controls[row.index] = ParseRamp(v, row); });
            }
        }

        app_.option_defaults()->group("Other");
        Action("-h,--help", "this text", CliOptions::Action::kHelp);
        Action("--version", "the program's version", CliOptions::Action::kVersion);
        Action("--about", "the plug-in's about text", CliOptions::Action::kAbout);
    }
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    CliOptions Parse(int argc, char* const* argv) {
        try {
            app_.parse(argc, argv);
        } catch (const CLI::ArgumentMismatch& e) {
            // CLI11 starts the message with the option's name.
            const std::string message = e.what();
            throw UsageError(message.substr(0, message.find(':')) + " needs a value; see --help");
        } catch (const CLI::ParseError& e) {
            throw UsageError(std::string(e.what()) + "; see --help");
        }
        RefuseExtras(app_.remaining());
        // The later of two values would win silently.
        for (const CLI::Option* option : app_.get_options()) {
            if (option->count() <= 1) continue;
            const std::string name = "--" + option->get_lnames().front();
            const bool file = name == "--input" || name == "--output";
            throw UsageError(name + " is given more than once" +
                             (file ? "; a run of '#' in the name makes a sequence" : ""));
        }
        Validate(options_, app_.count("--size") + app_.count("--seed") > 0);
        NoteUnusedControls();
        return options_;
    }

    std::string Help(const std::string& program) const {
        std::string text = "Usage: " + program +
                           " [options] -o OUTPUT\n\nRenders the Maculo Pattern effect with the plug-in library, "
                           "outside the host.\n";
        const std::vector<const CLI::Option*> all = app_.get_options();
        std::vector<std::string> groups;
        for (const CLI::Option* option : all)
            if (std::find(groups.begin(), groups.end(), option->get_group()) == groups.end())
                groups.push_back(option->get_group());
        for (const std::string& group : groups) {
            std::vector<std::pair<std::string, std::string>> lines;
            size_t column = 0;
            for (const CLI::Option* option : all) {
                if (option->get_group() != group) continue;
                const std::vector<std::string>& shorts = option->get_snames();
                std::string names = shorts.empty() ? "      " : "  -" + shorts.front() + ", ";
                names += "--" + option->get_lnames().front();
                if (!option->get_type_name().empty()) names += " " + option->get_type_name();
                column = std::max(column, names.size() + 2);
                lines.emplace_back(names, option->get_description());
            }
            text += "\n" + group + (group == kControlsGroup ? kControlsNote : "") + ":\n";
            for (const auto& [names, description] : lines) {
                std::string indented;
                for (const char c : description) {
                    indented += c;
                    if (c == '\n') indented.append(column, ' ');  // continued lines under the first
                }
                text += names + std::string(column - names.size(), ' ') + indented + "\n";
            }
        }
        return text + R"(
Frames hold up to 134 megapixels (the host's working images are at most 2 GiB)
and must fit the memory the process may have (the machine's, its ulimit, its
control group's); larger ones are refused before any work. Each option may be
given once.

Exit status: 0 done, 1 a file, the plug-in or the render failed, 2 a wrong
command line, 130 interrupted (Ctrl-C), 143 terminated (SIGTERM), 129 hung up
(SIGHUP); a stopped render leaves no unfinished file.
)";
    }

private:
    // An option with a value, which `parse` checks and stores.
    void Add(const std::string& names, const std::string& metavar, const std::string& help,
             std::function<void(const std::string&)> parse) {
        app_.add_option_function<std::string>(names, std::move(parse), help)->type_name(metavar);
    }

    void Action(const std::string& names, const std::string& help, CliOptions::Action action) {
        app_.add_flag_callback(
            names, [this, action] { options_.action = action; }, help);
    }

    static void RefuseExtras(std::vector<std::string> extras) {
        // After "--" every argument is a plain one.
        const bool plain = !extras.empty() && extras.front() == "--";
        if (plain) extras.erase(extras.begin());
        if (extras.empty()) return;
        if (!plain && extras.front().size() > 1 && extras.front()[0] == '-')
            throw UsageError("unknown option " + Quoted(extras.front()) + "; see --help");
        throw UsageError("unexpected argument " + Quoted(extras.front()) + "; see --help");
    }

    // Controls that the chosen mode does not read are accepted but pointed out.
    void NoteUnusedControls() {
        const bool simple = options_.controls[kParamMode].start == kModeSimple;
        for (const Control& row : kControls) {
            if (CarriesValue(row) && !ShownInMode(row, simple) && app_.count("--" + std::string(row.name)) > 0)
                options_.notes.push_back("--" + std::string(row.name) + " has no effect with --mode " +
                                         (simple ? "simple" : "detail"));
        }
    }

    CLI::App app_;
    CliOptions options_;
};

}  // namespace

CliOptions ParseOptions(int argc, char* const* argv) {
    CommandLine commandLine;
    return commandLine.Parse(argc, argv);
}

CliOptions ParseOptions(std::vector<std::string> args) {
    args.insert(args.begin(), "maculo-render");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ParseOptions(int(argv.size()), argv.data());
}

std::string HelpText(const std::string& program) { return CommandLine().Help(program); }

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

}  // namespace maculo
