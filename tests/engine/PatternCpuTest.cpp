#include "engine/PatternCpu.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "ReferencePattern.h"
#include "engine/BlurKernels.h"
#include "engine/PatternOps.h"

namespace maculo {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDefaultAmount = 20.02654f;

struct Outcome {
    int32_t result;
    std::vector<PixelF> pattern;
};

// Runs the engine on a copy of `input`, with every buffer exactly
// pitch x height pixels so that any stray read shows under AddressSanitizer.
Outcome RunEngine(std::vector<PixelF> input, const ImageDims& dims, const PatternSettings& settings,
                  const ProgressHook& hook = {nullptr, nullptr},
                  const BlurKernelSet& kernels = BestKernels()) {
    std::vector<PixelF> blurred(input.size(), PixelF{kNaN, kNaN, kNaN, kNaN});
    std::vector<PixelF> pattern(input.size(), PixelF{kNaN, kNaN, kNaN, kNaN});
    const int32_t result = RunPatternCpuWith(kernels, input.data(), blurred.data(), pattern.data(),
                                             dims, settings, hook);
    return {result, std::move(pattern)};
}

// The kernels of every instruction set this processor runs.
std::vector<const BlurKernelSet*> RunnableKernels() {
    std::vector<const BlurKernelSet*> sets;
    for (const InstructionSet set : {InstructionSet::kSse2, InstructionSet::kAvx2, InstructionSet::kAvx512}) {
        if (const BlurKernelSet* kernels = KernelsFor(set)) sets.push_back(kernels);
    }
    return sets;
}

class ThreadCount {
public:
    explicit ThreadCount(int n) : saved_(omp_get_max_threads()) { omp_set_num_threads(n); }
    ~ThreadCount() { omp_set_num_threads(saved_); }

private:
    int saved_;
};

void ExpectMatchesReference(const std::vector<PixelF>& input, const ImageDims& dims,
                            const PatternSettings& s) {
    const std::vector<PixelF> expected = reference::RunPattern(input.data(), dims, s);
    for (const BlurKernelSet* kernels : RunnableKernels()) {
        for (int threads = 1; threads <= 3; ++threads) {
            const ThreadCount count(threads);
            const Outcome run = RunEngine(input, dims, s, {nullptr, nullptr}, *kernels);
            EXPECT_EQ(run.result, kPatternOk);
            EXPECT_TRUE(reference::SameVisibleBits(run.pattern.data(), dims, expected))
                << dims.width << "x" << dims.height << " pitch " << dims.pitch << ", mode "
                << s.blurMode << ", gray " << s.grayMode << ", " << s.iterations
                << " iterations, sigma " << s.blurSigma << "/" << s.sharpenSigma << ", amount "
                << s.sharpenAmount << ", " << kernels->name << ", " << threads << " threads";
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
        const PatternSettings s{c % 4 < 2 ? kBlurBox : kBlurGaussian,
                                1 + static_cast<int32_t>(rng() % 3),
                                static_cast<int32_t>(rng() % 4),
                                sigma(rng),
                                sigma(rng),
                                amount(rng),
                                false};
        // NaN in the spare columns must not reach a visible pixel; inside the
        // picture, NaN and infinities spread through the sums until a clamp.
        std::vector<PixelF> input = reference::RandomImage(dims, rng(), kNaN);
        if (c % 3 == 0) {
            const auto at = [&](uint32_t r) -> PixelF& {
                return input[r % static_cast<uint32_t>(height) * dims.pitch + r / 7 % static_cast<uint32_t>(width)];
            };
            at(rng()).red = kNaN;
            at(rng()).alpha = kInf;
            at(rng()).blue = -kInf;
        }
        ExpectMatchesReference(input, dims, s);
    }
}

// Large windows over images wide or tall enough that the work is cut into
// several strips of columns and bands of rows, which must join seamlessly.
TEST(PatternParity, WideWindowsOverLargerImages) {
    for (const ImageDims dims : {ImageDims{150, 70, 153}, ImageDims{21, 600, 21}}) {
        for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
            const PatternSettings s{mode, kGrayOff, 2, 12.0f, 9.0f, kDefaultAmount, false};
            ExpectMatchesReference(reference::RandomImage(dims, 9, kNaN), dims, s);
        }
    }
}

// The widest filter the controls produce on images shorter than its reach in
// one or both directions: positions reflect again and again, never leaving
// the row.
TEST(PatternParity, TinyImagesUnderTheWidestFilter) {
    const float sigma = 200.0f / 2.8368f;
    const ImageDims sizes[] = {{1, 1, 1}, {1, 7, 1}, {7, 1, 7},  {2, 2, 2},
                               {3, 50, 3}, {50, 3, 50}, {2, 3, 4}};
    for (const ImageDims& dims : sizes) {
        for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
            const PatternSettings s{mode, kGrayOff, 2, sigma, sigma, kDefaultAmount, false};
            ExpectMatchesReference(reference::RandomImage(dims, 7, kNaN), dims, s);
        }
    }
}

struct Progress {
    std::vector<std::pair<int32_t, int32_t>> calls;
    int32_t cancelAt = -1;
    int32_t code = 0;
    bool onlyOnCallingThread = true;

    static int32_t Callback(void* ref, int32_t current, int32_t total) {
        auto* self = static_cast<Progress*>(ref);
        self->onlyOnCallingThread &= std::this_thread::get_id() == self->caller;
        self->calls.emplace_back(current, total);
        return current == self->cancelAt ? self->code : 0;
    }
    ProgressHook Hook() { return {&Progress::Callback, this}; }

private:
    std::thread::id caller = std::this_thread::get_id();
};

using Calls = std::vector<std::pair<int32_t, int32_t>>;

TEST(PatternProgress, CalledBeforeEveryOddIterationEvenOnAnEmptyImage) {
    const ThreadCount threads(3);  // the host expects its callback on its own thread
    const ImageDims dims{6, 5, 8};
    const std::vector<PixelF> input = reference::RandomImage(dims, 3);
    for (const auto& [iterations, expected] :
         {std::pair{0, Calls{}}, {1, Calls{}}, {4, Calls{{1, 4}, {3, 4}}}}) {
        Progress progress;
        const PatternSettings s{kBlurGaussian, kGrayOff, iterations, 1.0f, 1.0f, 5.0f, false};
        EXPECT_EQ(RunEngine(input, dims, s, progress.Hook()).result, kPatternOk);
        EXPECT_EQ(progress.calls, expected) << iterations;
        EXPECT_TRUE(progress.onlyOnCallingThread);
    }

    Progress progress;
    const PatternSettings s{kBlurBox, kGrayOff, 4, 1.0f, 1.0f, 5.0f, false};
    EXPECT_EQ(RunEngine({}, ImageDims{6, 0, 8}, s, progress.Hook()).result, kPatternOk);
    EXPECT_EQ(progress.calls, (Calls{{1, 4}, {3, 4}}));
}

TEST(PatternProgress, CancellingReturnsTheCodeAndKeepsTheCompletedIteration) {
    const ImageDims dims{9, 7, 9};
    const std::vector<PixelF> input = reference::RandomImage(dims, 5);
    Progress progress;
    progress.cancelAt = 1;
    progress.code = 1234;
    PatternSettings s{kBlurGaussian, kGrayOff, 4, 1.5f, 1.0f, 8.0f, false};
    const Outcome run = RunEngine(input, dims, s, progress.Hook());
    EXPECT_EQ(run.result, 1234);
    EXPECT_EQ(progress.calls, (Calls{{1, 4}}));
    s.iterations = 1;
    EXPECT_TRUE(reference::SameVisibleBits(run.pattern.data(), dims,
                                           reference::RunPattern(input.data(), dims, s)));
}

TEST(PatternPipeline, NoIterationsCopiesEveryPixelIncludingSpareColumns) {
    const ImageDims dims{5, 4, 7};
    const std::vector<PixelF> input = reference::RandomImage(dims, 11, 2.5f);
    const Outcome run = RunEngine(input, dims, {kBlurGaussian, kGrayOff, 0, 2.0f, 2.0f, 1.0f, false});
    EXPECT_EQ(run.result, kPatternOk);
    EXPECT_EQ(std::memcmp(run.pattern.data(), input.data(), input.size() * sizeof(PixelF)), 0);
}

TEST(PatternPipeline, GrayAfterTheIterationIsNotClamped) {
    const ImageDims dims{4, 4, 4};
    const std::vector<PixelF> white(16, PixelF{1.0f, 1.0f, 1.0f, 1.0f});
    const float justAboveOne = 1.0f + std::ldexp(1.0f, -20);
    const Outcome after = RunEngine(white, dims, {kBlurGaussian, kGrayAfter, 1, 2.0f, 2.0f, kDefaultAmount, false});
    const Outcome before = RunEngine(white, dims, {kBlurGaussian, kGrayBefore, 1, 2.0f, 2.0f, kDefaultAmount, false});
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(after.pattern[i].green, justAboveOne);
        EXPECT_EQ(after.pattern[i].alpha, 1.0f);
        EXPECT_EQ(before.pattern[i].green, 1.0f);
    }
}

// Unusable sigmas act as 0, which makes both blurs the clamp alone, so the
// result is the clamped input.
TEST(PatternPipeline, UnusableSigmasActAsZero) {
    const ImageDims dims{6, 5, 6};
    const std::vector<PixelF> input = reference::RandomImage(dims, 13);
    for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
        for (const float bad : {0.0f, kNaN, kInf, -kInf, -3.0f}) {
            const Outcome run = RunEngine(input, dims, {mode, kGrayOff, 2, bad, bad, kDefaultAmount, false});
            ASSERT_EQ(run.result, kPatternOk);
            for (size_t i = 0; i < input.size(); ++i) {
                const PixelF& in = input[i];
                const PixelF clamped{Saturate(in.alpha), Saturate(in.red), Saturate(in.green),
                                     Saturate(in.blue)};
                EXPECT_EQ(std::memcmp(&run.pattern[i], &clamped, sizeof clamped), 0) << i << " " << bad;
            }
        }
    }
}

// A NaN spreads through every sum it takes part in (even at weight 0); the
// clamp then turns it into 0, so no NaN leaves the iteration.
TEST(PatternPipeline, NaNAndInfiniteChannelsEndInsideTheRange) {
    const ImageDims dims{12, 10, 12};
    std::vector<PixelF> input = reference::RandomImage(dims, 17);
    input[25] = {kNaN, kInf, -kInf, kNaN};
    for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
        const Outcome run = RunEngine(input, dims, {mode, kGrayOff, 1, 2.0f, 2.0f, kDefaultAmount, false});
        for (const PixelF& p : run.pattern) {
            for (const float c : {p.alpha, p.red, p.green, p.blue}) EXPECT_TRUE(c >= 0.0f && c <= 1.0f);
        }
    }
}

TEST(PatternPipeline, UnusableGeometryIsRefusedUntouched) {
    const PatternSettings s{kBlurGaussian, kGrayOff, 1, 1.0f, 1.0f, 1.0f, false};
    const std::vector<PixelF> input(12, PixelF{0.5f, 0.5f, 0.5f, 0.5f});
    for (const ImageDims dims : {ImageDims{4, 3, 3}, ImageDims{-1, 3, 4}, ImageDims{4, -3, 4}}) {
        const Outcome run = RunEngine(input, dims, s);
        EXPECT_EQ(run.result, kPatternBadDims);
        EXPECT_TRUE(std::isnan(run.pattern[0].alpha));
    }
    const ImageDims dims{4, 3, 4};
    EXPECT_EQ(RunPatternCpu(nullptr, nullptr, nullptr, dims, s, {nullptr, nullptr}),
              kPatternBadDims);
    EXPECT_EQ(RunEngine(input, {0, 3, 4}, s).result, kPatternOk);  // no visible column
}

}  // namespace
}  // namespace maculo
