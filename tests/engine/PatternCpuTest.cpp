#include "engine/PatternCpu.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/BlurKernels.h"
#include "engine/FilterShapes.h"
#include "engine/PatternWorkspace.h"
#include "tests/engine/ReferencePattern.h"

namespace maculo {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDefaultAmount = 20.02654f;

struct Outcome {
    PatternResult result;
    std::vector<PixelF> pattern;
};

// Runs the engine on a copy of `input`, with every buffer exactly
// pitch x height pixels so that any stray read shows under AddressSanitizer.
Outcome RunEngine(std::vector<PixelF> input, const ImageDims& dims, const PatternSettings& settings,
                  const BlurKernelSet& kernels = BestKernels(), const ProgressHook& hook = {nullptr, nullptr},
                  PatternWorkspace* workspace = nullptr) {
    std::vector<PixelF> blurred(input.size(), PixelF{kNaN, kNaN, kNaN, kNaN}), pattern(blurred);
    const PatternResult result =
        RunPatternCpuWith(kernels, input.data(), blurred.data(), pattern.data(), dims, settings, hook, workspace);
    return {result, std::move(pattern)};
}

using reference::RunnableKernels;

// MACULO_ISA picks a narrower set by its reported key; no name, or a name no
// set has, leaves the widest. A set runs exactly where the system lists its
// reported processor flag (the Windows check picks its sets so), the first
// set, the baseline, on any processor.
TEST(KernelChoice, SetsByTheirReportedKeysWhereTheSystemListsTheirFlags) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string flags;
    for (std::string line; flags.empty() && std::getline(cpuinfo, line);)
        if (line.starts_with("flags")) flags = line.substr(line.find(':') + 1) + " ";
    EXPECT_NE(KernelsFor(kInstructionSets[0]), nullptr);
    for (size_t i = 0; i < std::size(kInstructionSets); ++i) {
        const auto [key, target] = kInstructionSetNames[i];
        const BlurKernelSet* kernels = KernelsFor(kInstructionSets[i]);
        EXPECT_TRUE(kernels == nullptr || &WidestKernelsUpTo(key) == kernels) << key;
        const bool listed = flags.find(" " + std::string(target) + " ") != std::string::npos;
        EXPECT_TRUE(flags.empty() || (kernels != nullptr) == listed) << target;
    }
    for (const char* key : {static_cast<const char*>(nullptr), "", "avx1024"}) {
        EXPECT_EQ(&WidestKernelsUpTo(key), RunnableKernels().back());
    }
}

void ExpectMatchesReference(const std::vector<PixelF>& input, const ImageDims& dims, const PatternSettings& s) {
    const std::vector<PixelF> expected = reference::RunPattern(input.data(), dims, s);
    for (const BlurKernelSet* kernels : RunnableKernels()) {
        for (int threads = 1; threads <= 3; ++threads) {
            omp_set_num_threads(threads);
            const Outcome run = RunEngine(input, dims, s, *kernels);
            EXPECT_EQ(run.result.status, PatternStatus::kDone);
            EXPECT_TRUE(reference::SameVisibleBits(run.pattern.data(), dims, expected))
                << dims.width << "x" << dims.height << " pitch " << dims.pitch << ", mode " << s.blurMode << ", gray "
                << s.grayMode << ", " << s.iterations << " iterations, sigma " << s.blurSigma << "/" << s.sharpenSigma
                << ", amount " << s.sharpenAmount << ", " << kernels->name << ", " << threads << " threads";
        }
    }
}

TEST(PatternParity, MatchesTheReferenceBitForBitOnAnyThreadCount) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<float> sigma(0.0f, 5.0f);
    std::uniform_real_distribution<float> amount(0.0f, 30.0f);
    for (int c = 0; c < 16; ++c) {
        const int32_t width = 1 + static_cast<int32_t>(rng() % 80);
        const int32_t height = 1 + static_cast<int32_t>(rng() % 72);
        const int32_t padding = c % 2 ? 1 + static_cast<int32_t>(rng() % 5) : 0;
        const ImageDims dims{width, height, width + padding};
        const auto gray = 1 + static_cast<int32_t>(rng() % 3);
        const auto iterations = static_cast<int32_t>(rng() % 4);
        const PatternSettings s{
            c % 4 < 2 ? kBlurBox : kBlurGaussian, gray, iterations, sigma(rng), sigma(rng), amount(rng), false};
        // NaN in the spare columns must not reach a visible pixel.
        ExpectMatchesReference(reference::RandomImage(dims, rng(), kNaN), dims, s);
    }
}

// Images cut into tiles of columns, bands of rows and chunks of rows for two
// or three threads (each chunk computing again the rows its windows reach
// past its ends), as four channels or one plane (opaque gray, lanes packed
// side by side), and windows too wide to fuse: the pieces join seamlessly.
TEST(PatternParity, TilesBandsChunksAndWindowsTooWideToFuse) {
    struct Case {
        ImageDims dims;
        uint32_t seed;
        int32_t gray, iterations;  // gray before: opaque too, one plane
        float blurSigma, sharpenSigma;
    };
    const Case cases[] = {
        {{150, 40, 153}, 9, kGrayOff, 1, 12.0f, 9.0f},  {{7, 300, 7}, 10, kGrayOff, 2, 2.5f, 2.0f},
        {{21, 340, 23}, 41, kGrayOff, 3, 2.1f, 2.1f},   {{9, 480, 9}, 42, kGrayBefore, 3, 0.7f, 0.7f},
        {{16, 300, 17}, 43, kGrayOff, 2, 28.0f, 26.0f}, {{16, 300, 17}, 43, kGrayBefore, 2, 28.0f, 26.0f},
    };
    for (const Case& c : cases) {
        std::vector<PixelF> input = reference::RandomImage(c.dims, c.seed, kNaN);
        if (c.gray == kGrayBefore)
            for (PixelF& p : input) p.alpha = 1.0f;
        for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
            ExpectMatchesReference(input, c.dims,
                                   {mode, c.gray, c.iterations, c.blurSigma, c.sharpenSigma, kDefaultAmount, false});
        }
    }
}

// The tiles of columns and the vertical pass's groups may start where the
// images' cache lines do: the same bits wherever in a line the images begin.
TEST(PatternParity, ImagesStartingAnywhereInACacheLine) {
    const ImageDims dims{150, 20, 152};  // rows equally aligned
    const PatternSettings s{kBlurGaussian, kGrayOff, 1, 30.0f, 3.0f, kDefaultAmount, false};
    const std::vector<PixelF> input = reference::RandomImage(dims, 33, kNaN);
    const std::vector<PixelF> expected = reference::RunPattern(input.data(), dims, s);
    const size_t pixels = input.size();
    constexpr size_t kLinePixels = kCacheLineBytes / sizeof(PixelF);
    std::vector<PixelF> store(3 * (pixels + 2 * kLinePixels));
    const uintptr_t past = reinterpret_cast<uintptr_t>(store.data()) % kCacheLineBytes;
    PixelF* const lined = store.data() + (kCacheLineBytes - past) % kCacheLineBytes / sizeof(PixelF);
    for (const BlurKernelSet* kernels : RunnableKernels()) {
        for (size_t offset = 0; offset < kLinePixels; ++offset) {
            PixelF* const images[3] = {lined + offset, lined + pixels + kLinePixels + offset,
                                       lined + 2 * (pixels + kLinePixels) + offset};
            std::copy(input.begin(), input.end(), images[0]);
            EXPECT_EQ(RunPatternCpuWith(*kernels, images[0], images[1], images[2], dims, s, {nullptr, nullptr}).status,
                      PatternStatus::kDone);
            EXPECT_TRUE(reference::SameVisibleBits(images[2], dims, expected))
                << kernels->name << ", " << offset << " pixels past a cache line";
        }
    }
}

// Every table length the fast kernels keep in registers, over a frame that
// takes several bands to a chunk and several tiles to a band (its rows not
// all equally aligned), so that the sums carried from band to band and from
// tile to tile are checked too.
TEST(PatternParity, EveryRegisterTableLengthAcrossBandsAndTiles) {
    const ImageDims dims{600, 136, 603};
    const std::vector<PixelF> input = reference::RandomImage(dims, 21, kNaN);
    for (int32_t taps = 7; taps <= 27; taps += 2) {
        const float sigma = static_cast<float>(taps - 1) / 9.0f + 0.01f;
        ASSERT_EQ(ShapeGaussianTable(sigma).taps, taps);
        ExpectMatchesReference(input, dims, {kBlurGaussian, kGrayOff, 1, sigma, sigma, kDefaultAmount, false});
    }
}

// The widest filter the controls produce, and unusable widths (acting as 0),
// on images shorter than the widest reach: positions reflect again and again,
// never leaving the row. In the last image, NaN and infinities spread through
// every sum they take part in, at weight 0 too (a box of width 6 reads its
// outer taps at weight 0), until the clamp turns them into 0.
TEST(PatternParity, TinyImagesUnusableWidthsAndChannels) {
    for (const ImageDims dims :
         {ImageDims{1, 1, 1}, {1, 7, 1}, {7, 1, 7}, {2, 2, 2}, {3, 50, 3}, {50, 3, 50}, {2, 3, 4}, {9, 6, 11}}) {
        std::vector<PixelF> input = reference::RandomImage(dims, 7, kNaN);
        if (dims.pitch == 11) input[25] = {kNaN, kInf, -kInf, kNaN};
        for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
            for (const float sigma : {200.0f / 2.8368f, 0.0f, kNaN, kInf, -kInf, -3.0f, 2.0f}) {
                ExpectMatchesReference(input, dims, {mode, kGrayOff, 2, sigma, sigma, kDefaultAmount, false});
            }
        }
    }
    // Far beyond the controls' range, widths are bounded.
    EXPECT_EQ(ShapeGaussianTable(1e30f).taps, 18001);
    EXPECT_EQ(ShapeBoxWindow(1e30f).k, 6001);
}

// Pixel p of variant v of a picture, `odd` for the one pixel that breaks
// the pattern: alpha one value (opaque: three planes); alpha NaN, red one
// value, blue repeating green but for a NaN; every channel repeating alpha
// but green at one pixel; channels of one value each, -0 among them, but
// alpha at one pixel; and no plane at all.
PixelF Varied(int v, const PixelF& p, bool odd) {
    const PixelF variants[] = {{1.0f, p.red, p.green, p.blue},
                               {kNaN, 1.25f, p.green, odd ? kNaN : p.green},
                               {p.alpha, p.alpha, odd ? 0.5f : p.alpha, p.alpha},
                               {odd ? 0.5f : 0.25f, -0.0f, -0.0f, 0.75f},
                               {0.75f, 0.25f, 0.25f, 0.25f}};
    return variants[v];
}

// Channels that repeat an earlier one or hold one value are computed once;
// equal or constant but for one pixel, they are not. Spare columns hold
// other values in every channel and must not count; the narrow frame's rows
// are shorter than the filter, whose columns reach past the next lane of rows.
TEST(PatternParity, RepeatedAndConstantChannels) {
    for (const auto& [dims, sigma] : {std::pair{ImageDims{37, 150, 40}, 1.2f}, {ImageDims{3, 100, 5}, 7.0f}}) {
        for (int v = 0; v < 5; ++v) {
            std::vector<PixelF> input = reference::RandomImage(dims, 17);
            for (int32_t i = 0; i < dims.pitch * dims.height; ++i) {
                input[i] = i % dims.pitch < dims.width ? Varied(v, input[i], i == dims.pitch * 61 + 2)
                                                       : PixelF{0.1f, 0.2f, 0.3f, kNaN};
            }
            for (const auto& [mode, gray] : {std::pair{kBlurGaussian, kGrayOff}, {kBlurBox, kGrayBefore}}) {
                ExpectMatchesReference(input, dims, {mode, gray, 3, sigma, sigma, kDefaultAmount, false});
            }
        }
    }
}

// A workspace carries the threads' scratch from frame to frame: whatever the
// frames before left in it (NaN and infinities reach the lines), each frame
// gets the bits of a render of its own. Between frames, the thread count, the
// instruction set, the width, the windows, fused or two-step iterations and
// four channels or three planes (opaque) change one at a time.
TEST(PatternWorkspace, FramesInTurnAsEachAlone) {
    const BlurKernelSet* widest = RunnableKernels().back();
    const BlurKernelSet* narrowest = RunnableKernels().front();
    const PatternSettings usual{kBlurGaussian, kGrayOff, 2, 1.5f, 1.2f, kDefaultAmount, false};
    const PatternSettings box{kBlurBox, kGrayOff, 3, 1.0f, 1.2f, 3.0f, false};
    const PatternSettings wider{kBlurGaussian, kGrayOff, 2, 4.0f, 3.5f, kDefaultAmount, false};
    const PatternSettings wide{kBlurGaussian, kGrayOff, 1, 28.0f, 26.0f, kDefaultAmount, false};
    const ImageDims tall{33, 600, 35};
    const std::tuple<ImageDims, PatternSettings, int, const BlurKernelSet*, bool> frames[] = {
        {tall, usual, 2, widest, true},  {tall, wider, 2, widest, true},    {tall, usual, 2, widest, true},
        {tall, wider, 2, widest, false}, {tall, box, 2, widest, false},     {tall, usual, 2, widest, true},
        {tall, usual, 3, widest, true},  {tall, usual, 3, narrowest, true}, {{40, 600, 40}, usual, 3, narrowest, true},
        {tall, wide, 2, widest, false},  {tall, wide, 2, widest, false},
    };
    PatternWorkspace workspace;
    uint32_t frame = 0;  // also seeds the frame's picture
    for (const auto& [dims, settings, threads, kernels, opaque] : frames) {
        omp_set_num_threads(threads);
        std::vector<PixelF> input = reference::RandomImage(dims, ++frame, kNaN);
        for (size_t i = 0; i < input.size(); ++i) {
            if (opaque) input[i].alpha = 1.0f;
            if (!opaque && i % 97 == 0) input[i] = {kNaN, kInf, -kInf, 1e30f};
        }
        const Outcome alone = RunEngine(input, dims, settings, *kernels);
        const Outcome reused = RunEngine(input, dims, settings, *kernels, {}, &workspace);
        EXPECT_EQ(reused.result.status, PatternStatus::kDone);
        EXPECT_EQ(std::memcmp(reused.pattern.data(), alone.pattern.data(), input.size() * sizeof(PixelF)), 0)
            << "frame " << frame;
    }
}

using Calls = std::vector<std::pair<int32_t, int32_t>>;

struct Progress {
    Calls calls;
    int32_t cancelAt;
    std::thread::id caller = std::this_thread::get_id();
    bool onlyOnCallingThread = true;

    static int32_t Callback(void* ref, int32_t current, int32_t total) {
        auto* self = static_cast<Progress*>(ref);
        self->onlyOnCallingThread &= std::this_thread::get_id() == self->caller;
        self->calls.emplace_back(current, total);
        return current == self->cancelAt ? 1234 : 0;
    }
};

// Called before every odd iteration, also on an image without rows, and on
// the calling thread however many threads blur (the host expects it there);
// a non-zero answer is returned at once and leaves the completed iterations.
TEST(PatternProgress, ScheduleAndCancellation) {
    omp_set_num_threads(3);
    for (const auto& [height, iterations, cancelAt, expected] : {std::tuple{5, 1, -1, Calls{}},
                                                                 {5, 4, -1, Calls{{1, 4}, {3, 4}}},
                                                                 {0, 5, -1, Calls{{1, 5}, {3, 5}}},
                                                                 {5, 4, 1, Calls{{1, 4}}},
                                                                 {40, 6, 3, Calls{{1, 6}, {3, 6}}}}) {
        const ImageDims dims{6, height, 8};
        // One alpha everywhere, gray colours: 40 rows are tall enough for
        // the one plane.
        std::vector<PixelF> input = reference::RandomImage(dims, 3);
        for (PixelF& p : input) p.alpha = 0.7f;
        PatternSettings s{kBlurGaussian, kGrayBefore, iterations, 1.5f, 1.0f, 8.0f, false};
        Progress progress{{}, cancelAt};
        const Outcome run = RunEngine(input, dims, s, BestKernels(), {&Progress::Callback, &progress});
        SCOPED_TRACE(testing::Message() << height << " rows, " << iterations << " iterations");
        EXPECT_EQ(progress.calls, expected);
        EXPECT_TRUE(progress.onlyOnCallingThread);
        EXPECT_EQ(run.result, (cancelAt < 0 ? PatternResult{} : PatternResult{PatternStatus::kStopped, 1234}));
        s.iterations = cancelAt < 0 ? iterations : cancelAt;
        EXPECT_TRUE(reference::SameVisibleBits(run.pattern.data(), dims, reference::RunPattern(input.data(), dims, s)));
    }
}

}  // namespace
}  // namespace maculo
