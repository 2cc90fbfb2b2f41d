// Prints one Markdown table: the processor pipeline against the OpenCV peer at
// 1920x1080 for the default controls and for Width 40, at one thread and at
// all of them, with one plain copy of a working image as the memory floor;
// then the depth conversions in GB/s. Every figure is the best of several
// runs, which is what a loaded machine lets through most faithfully.
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "engine/BlurKernels.h"
#include "engine/DepthConversion.h"
#include "engine/PatternCpu.h"
#include "engine/PatternOps.h"
#if MACULO_HAVE_OPENCV
#include <opencv2/core.hpp>

#include "OpenCvPeer.h"
#endif

namespace maculo::bench {
namespace {

// Iterations a long run has more than a short one.
constexpr int32_t kExtraIterations = 4;

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

// Milliseconds per iteration: the best time of runs of 1 + kExtraIterations
// iterations less the best time of runs of one, over kExtraIterations, so
// that what a call does besides iterating (its first copy, its weight
// tables) drops out. run(settings) makes one call.
template <typename Run, typename Prepare>
double MsPerIteration(PatternSettings s, const Run& run, const Prepare& prepare) {
    s.iterations = 1;
    const double one = BestSeconds([&] { run(s); }, 5, prepare);
    s.iterations = 1 + kExtraIterations;
    const double more = BestSeconds([&] { run(s); }, 5, prepare);
    return 1000.0 * (more - one) / kExtraIterations;
}

struct Images {
    std::vector<PixelF> source = Noise(kFullHd);
    std::vector<PixelF> input = source;
    std::vector<PixelF> blurred = source;
    std::vector<PixelF> spare = source;
    std::vector<PixelF> pattern = source;
};

double OursMs(Images& im, const PatternSettings& settings) {
    return MsPerIteration(
        settings,
        [&](const PatternSettings& s) {
            RunPatternCpu(im.input.data(), im.blurred.data(), im.pattern.data(), kFullHd, s,
                          {nullptr, nullptr});
        },
        [&] { im.input = im.source; });  // the engine clobbers its input
}

double PeerMs([[maybe_unused]] Images& im, [[maybe_unused]] const PatternSettings& settings) {
#if MACULO_HAVE_OPENCV
    return MsPerIteration(
        settings,
        [&](const PatternSettings& s) {
            RunOpenCvPeer(im.source.data(), im.blurred.data(), im.spare.data(), im.pattern.data(),
                          kFullHd, s);
        },
        [] {});
#else
    return 0.0;
#endif
}

double CopyMs(Images& im) {
    return 1000.0 * BestSeconds([&] { CopyImage(im.source.data(), im.pattern.data(), kFullHd); }, 100);
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

void Row(const std::string& work, int threads, double ours, double peer, double copy) {
    const bool hasPeer = peer > 0.0;
    std::printf("| %s | %d | %s | %s | %s | %s |\n", work.c_str(), threads, Cell(ours, "%.2f").c_str(),
                hasPeer ? Cell(peer, "%.2f").c_str() : "n/a",
                hasPeer ? Cell(peer / ours, "%.2f\u00d7").c_str() : "n/a",
                copy > 0.0 ? Cell(ours / copy, "%.1f").c_str() : "");
}

void SetThreads(int threads) {
    omp_set_num_threads(threads);
#if MACULO_HAVE_OPENCV
    cv::setNumThreads(threads);
#endif
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
    const std::size_t pixels = im.source.size();
    Conversions conv(pixels);
    constexpr std::size_t kFloatBytes = sizeof(PixelF);

    std::printf("1920x1080, %s kernels; per iteration: best run of %d iterations less best run of 1, over %d\n\n",
                BestKernels().name, 1 + kExtraIterations, kExtraIterations);
    std::printf("| Work | Threads | Ours | OpenCV peer | Peer / ours | Ours in copies |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const int threads : threadCounts) {
        SetThreads(threads);
        // The copy is timed after the iterations, on a processor that has
        // left its idle clock behind.
        double ours[2];
        double peer[2];
        const float widths[2] = {6.0f, 40.0f};
        for (int w = 0; w < 2; ++w) {
            const PatternSettings s = Controls(kBlurGaussian, widths[w], 1);
            ours[w] = OursMs(im, s);
            peer[w] = PeerMs(im, s);
        }
        const double copy = CopyMs(im);
        Row("Default controls, Width 6 (ms/iteration)", threads, ours[0], peer[0], copy);
        Row("Width 40 (ms/iteration)", threads, ours[1], peer[1], copy);
        Row("One copy of the image, the memory floor (ms)", threads, copy, 0.0, 0.0);
    }
    for (const int threads : threadCounts) {
        SetThreads(threads);
        const auto conversion = [&](const char* name, std::size_t pixelBytes, const auto& run) {
            std::printf("| %s (GB/s) | %d | %s | | | |\n", name, threads,
                        Cell(GigabytesPerSecond(pixels * (pixelBytes + kFloatBytes), run), "%.1f").c_str());
        };
        conversion("8-bit in", sizeof(Pixel8), [&] { ConvertToWorking(conv.eight.data(), im.input.data(), kFullHd, kFullHd); });
        conversion("8-bit out", sizeof(Pixel8), [&] { ConvertFromWorking(im.source.data(), conv.eight.data(), kFullHd); });
        conversion("16-bit in", sizeof(Pixel16), [&] { ConvertToWorking(conv.sixteen.data(), im.input.data(), kFullHd, kFullHd); });
        conversion("16-bit out", sizeof(Pixel16), [&] { ConvertFromWorking(im.source.data(), conv.sixteen.data(), kFullHd); });
        conversion("Float in", kFloatBytes, [&] { ConvertToWorking(conv.floats.data(), im.input.data(), kFullHd, kFullHd); });
        conversion("Float out", kFloatBytes, [&] { ConvertFromWorking(im.source.data(), conv.floats.data(), kFullHd); });
    }
    return 0;
}
