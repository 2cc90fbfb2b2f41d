// Prints one Markdown table: the processor pipeline against the OpenCV peer at
// 1920x1080 for the default controls and for Width 40, at one thread and at
// all of them (with all threads' speed over one thread's), with one plain
// copy of a working image as the memory floor; then the depth conversions
// in GB/s. Every figure is the best of several
// runs, which is what a loaded machine lets through most faithfully.
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchImages.h"
#include "bench/PerIteration.h"
#include "engine/BlurKernels.h"
#include "engine/DepthConversion.h"
#include "engine/PatternCpu.h"
#include "engine/PatternOps.h"
#if MACULO_HAVE_OPENCV
#include <opencv2/core.hpp>

#include "bench/OpenCvPeer.h"
#endif

namespace maculo::bench {
namespace {

// Best time in seconds of run(), at least `least` runs and more while the
// runs so far took under two seconds in all (at most 30); prepare() runs
// untimed before each.
template <typename Run, typename Prepare>
double BestSeconds(const Run& run, int least, const Prepare& prepare) {
    double best = 1e30;
    double total = 0.0;
    for (int i = 0; i < 30 && (i < least || total < 2.0); ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
        total += elapsed.count();
    }
    return best;
}

template <typename Run>
double BestSeconds(const Run& run, int least = 5) {
    return BestSeconds(run, least, [] {});
}

void SetThreads(int threads) {
    omp_set_num_threads(threads);
#if MACULO_HAVE_OPENCV
    cv::setNumThreads(threads);
#endif
}

// Milliseconds per iteration at each of the thread counts, taken in turn so
// that all threads over one compares like with like. run(settings) makes
// one call.
template <typename Run, typename Prepare>
std::vector<double> MsPerIterationAt(const std::vector<int>& threadCounts, const PatternSettings& settings,
                                     const Run& run, const Prepare& prepare) {
    const auto call = [&](int32_t iterations) {
        PatternSettings s = settings;
        s.iterations = iterations;
        run(s);
    };
    std::vector<TimedWork> works;
    for (const int threads : threadCounts) {
        // An untimed call, so that no timed one starts a changed team.
        works.push_back({call, prepare, [&, threads] {
                             SetThreads(threads);
                             prepare();
                             call(1);
                         }});
    }
    return MsPerIterationInTurn(works, 4.0);
}

struct Images {
    std::vector<PixelF> colour = Noise(kFullHd, false);  // alpha varies too
    std::vector<PixelF> opaque = Noise(kFullHd);
    std::vector<PixelF> input = colour;
    std::vector<PixelF> blurred = colour;
    std::vector<PixelF> spare = colour;
    std::vector<PixelF> pattern = colour;
};

std::vector<double> OursMs(Images& im, const BlurKernelSet& kernels, const std::vector<PixelF>& source,
                           const PatternSettings& settings, const std::vector<int>& threadCounts) {
    return MsPerIterationAt(
        threadCounts, settings,
        [&](const PatternSettings& s) {
            RunPatternCpuWith(kernels, im.input.data(), im.blurred.data(), im.pattern.data(), kFullHd, s,
                              {nullptr, nullptr});
        },
        [&] { im.input = source; });  // the engine clobbers its input
}

// The peer on the picture's four channels, or on one plane of floats (the
// work of one distinct channel).
double PeerMs([[maybe_unused]] Images& im, [[maybe_unused]] int channels,
              [[maybe_unused]] const PatternSettings& settings) {
#if MACULO_HAVE_OPENCV
    const auto floats = [](std::vector<PixelF>& v) { return reinterpret_cast<float*>(v.data()); };
    return MsPerIterationAt(
               {omp_get_max_threads()}, settings,
               [&](const PatternSettings& s) {
                   RunOpenCvPeer(floats(im.colour), floats(im.blurred), floats(im.spare), floats(im.pattern), channels,
                                 kFullHd, s);
               },
               [] {})
        .front();
#else
    return 0.0;
#endif
}

double CopyMs(Images& im) {
    return 1000.0 * BestSeconds([&] { CopyImage(im.colour.data(), im.pattern.data(), kFullHd); }, 100);
}

// Bytes read plus bytes written per second, in GB/s.
template <typename Convert>
double GigabytesPerSecond(std::size_t bytesMoved, const Convert& convert) {
    return static_cast<double>(bytesMoved) / BestSeconds(convert, 10) * 1e-9;
}

struct Conversions {
    std::vector<Pixel8> eight;
    std::vector<Pixel16> sixteen;
    std::vector<PixelF> floats;

    explicit Conversions(std::size_t count) : eight(count), sixteen(count), floats(count) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto v = static_cast<uint8_t>(i * 37);
            eight[i] = {255, v, static_cast<uint8_t>(v + 1), static_cast<uint8_t>(v + 2)};
            sixteen[i] = {32768, static_cast<uint16_t>(v * 128), 0, 16384};
        }
    }
};

std::string Cell(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// What a row compares our time with: our own time on four distinct
// channels (for the rows that do less), one copy of the image, and our
// time on the same work at one thread (for the rows at more).
struct Against {
    double ofFour;
    double copy;
    double oneThread;
};

void Row(const std::string& work, const char* set, int threads, double ours, double peer, const Against& against) {
    const bool hasPeer = peer > 0.0;
    const auto ratio = [](double base, double value, const char* format) {
        return base > 0.0 ? Cell(value / base, format) : std::string();
    };
    std::printf("| %s | %s | %d | %s | %s | %s | %s | %s | %s |\n", work.c_str(), set, threads,
                Cell(ours, "%.2f").c_str(), hasPeer ? Cell(peer, "%.2f").c_str() : "n/a",
                hasPeer ? Cell(peer / ours, "%.2f\u00d7").c_str() : "n/a",
                ratio(against.ofFour, ours, "%.2f\u00d7").c_str(), ratio(against.copy, ours, "%.1f").c_str(),
                threads > 1 ? ratio(ours, against.oneThread, "%.2f\u00d7").c_str() : "");
}

}  // namespace
}  // namespace maculo::bench

int main() {
    using namespace maculo;
    using namespace maculo::bench;
    const int all = omp_get_max_threads();  // the runtime's default team
    std::vector<int> threadCounts{1};
    if (all > 1) threadCounts.push_back(all);

    Images im;
    const std::size_t pixels = im.colour.size();
    Conversions conv(pixels);
    constexpr std::size_t kFloatBytes = sizeof(PixelF);
    std::vector<const BlurKernelSet*> sets;
    for (const InstructionSet set : kInstructionSets) {
        if (const BlurKernelSet* kernels = KernelsFor(set)) sets.insert(sets.begin(), kernels);
    }

    std::printf("1920x1080; per iteration: best run of %d iterations less best run of 1, over %d\n\n",
                1 + kExtraIterations, kExtraIterations);
    std::printf(
        "| Work | Set | Threads | Ours | OpenCV peer | Peer / ours | Of four channels | Ours in copies | "
        "Threads over one |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    const PatternSettings width6 = Controls(kBlurGaussian, 6.0f, 1);
    const PatternSettings width40 = Controls(kBlurGaussian, 40.0f, 1);
    const PatternSettings gray6 = Controls(kBlurGaussian, 6.0f, 1, kGrayBefore);
    struct Work {
        std::string name;
        const std::vector<PixelF>& source;
        const PatternSettings& settings;
        int peerChannels;
        bool againstFour;
    };
    const Work works[] = {{"Four channels, Width 6 (ms/iteration)", im.colour, width6, 4, false},
                          {"Four channels, Width 40 (ms/iteration)", im.colour, width40, 4, false},
                          {"Opaque, gray off, Width 6: three planes (ms/iteration)", im.opaque, width6, 4, true},
                          {"Opaque, gray before, Width 6: one plane (ms/iteration)", im.opaque, gray6, 1, true}};
    // Our times first, every set and work at every thread count in turn.
    std::map<std::pair<const BlurKernelSet*, const Work*>, std::vector<double>> ours;
    for (const BlurKernelSet* kernels : sets) {
        for (const Work& work : works)
            ours[{kernels, &work}] = OursMs(im, *kernels, work.source, work.settings, threadCounts);
    }
    double oneCopy = 0.0;
    for (size_t k = 0; k < threadCounts.size(); ++k) {
        const int threads = threadCounts[k];
        SetThreads(threads);
        double peers[std::size(works)];
        for (size_t w = 0; w < std::size(works); ++w) peers[w] = PeerMs(im, works[w].peerChannels, works[w].settings);
        // The copy is timed after the iterations, on a processor that has
        // left its idle clock behind.
        const double copy = CopyMs(im);
        if (k == 0) oneCopy = copy;
        for (const BlurKernelSet* kernels : sets) {
            const double four = ours[{kernels, &works[0]}][k];
            for (size_t w = 0; w < std::size(works); ++w) {
                const std::vector<double>& times = ours[{kernels, &works[w]}];
                Row(works[w].name, kernels->name, threads, times[k], peers[w],
                    {works[w].againstFour ? four : 0.0, copy, times[0]});
            }
        }
        Row("One copy of the image, the memory floor (ms)", "", threads, copy, 0.0, {0.0, 0.0, oneCopy});
    }
    for (const int threads : threadCounts) {
        SetThreads(threads);
        const auto conversion = [&](const char* name, std::size_t pixelBytes, const auto& run) {
            std::printf("| %s (GB/s) | | %d | %s | | | | | |\n", name, threads,
                        Cell(GigabytesPerSecond(pixels * (pixelBytes + kFloatBytes), run), "%.1f").c_str());
        };
        conversion("8-bit in", sizeof(Pixel8),
                   [&] { ConvertToWorking(conv.eight.data(), im.input.data(), kFullHd, kFullHd); });
        conversion("8-bit out", sizeof(Pixel8),
                   [&] { ConvertFromWorking(im.colour.data(), conv.eight.data(), kFullHd); });
        conversion("16-bit in", sizeof(Pixel16),
                   [&] { ConvertToWorking(conv.sixteen.data(), im.input.data(), kFullHd, kFullHd); });
        conversion("16-bit out", sizeof(Pixel16),
                   [&] { ConvertFromWorking(im.colour.data(), conv.sixteen.data(), kFullHd); });
        conversion("Float in", kFloatBytes,
                   [&] { ConvertToWorking(conv.floats.data(), im.input.data(), kFullHd, kFullHd); });
        conversion("Float out", kFloatBytes,
                   [&] { ConvertFromWorking(im.colour.data(), conv.floats.data(), kFullHd); });
    }
    return 0;
}
