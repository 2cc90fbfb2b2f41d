#include "tests/engine/ReferencePattern.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace maculo::reference {
namespace {

using Line = std::vector<float>;

constexpr float PixelF::*kChannels[] = {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue};

float Clamp(float c) { return !(c > 0.0f) ? 0.0f : c > 1.0f ? 1.0f : c; }

// NaN, infinite and negative widths count as 0, huge ones as 2000.
float Sanitized(float sigma) { return !(sigma > 0.0f) || std::isinf(sigma) ? 0.0f : std::fmin(sigma, 2000.0f); }

// Reflection about both row ends, repeated until the position is inside.
int Reflect(int p, int last) {
    if (last == 0) return 0;
    while (p < 0 || p > last) {
        if (p < 0) p = -p;
        if (p > last) p = 2 * last - p;
    }
    return p;
}

Line GaussianLine(const Line& in, const std::vector<float>& table) {
    const int length = static_cast<int>(in.size());
    const int n = static_cast<int>(table.size());
    Line out(length);
    for (int x = 0; x < length; ++x) {
        float s = 0.0f;
        float w = 0.0f;
        for (int i = 0; i < n; ++i) {
            s = s + table[i] * in[Reflect(x + i - n / 2, length - 1)];
            w = w + table[i];
        }
        out[x] = Clamp(s / w);
    }
    return out;
}

// k whole pixels, then the next one on each side at weight f.
Line BoxLine(const Line& in, float a) {
    const int length = static_cast<int>(in.size());
    const int k = 1 - 2 * static_cast<int>(a * -0.5f);
    const int h = k / 2;
    const float f = a * 0.5f - std::floor(a * 0.5f);
    Line out(length);
    for (int x = 0; x < length; ++x) {
        float s = 0.0f;
        for (int i = -h; i <= h; ++i) s = s + in[Reflect(x + i, length - 1)];
        s = s + f * in[Reflect(x - h - 1, length - 1)];
        s = s + f * in[Reflect(x + h + 1, length - 1)];
        out[x] = Clamp(s / ((f + f) + static_cast<float>(k)));
    }
    return out;
}

// Each of `count` lines of `length` pixels through the filter, channel by
// channel; pixel j of line i is image[at(i, j)].
template <typename LineFilter, typename At>
void FilterLines(std::vector<PixelF>& image, int count, int length, const At& at, const LineFilter& filter) {
    Line line(length);
    for (float PixelF::*channel : kChannels) {
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < length; ++j) line[j] = image[at(i, j)].*channel;
            const Line out = filter(line);
            for (int j = 0; j < length; ++j) image[at(i, j)].*channel = out[j];
        }
    }
}

template <typename LineFilter>
std::vector<PixelF> FilterRows(std::vector<PixelF> image, const ImageDims& rows, const LineFilter& filter) {
    FilterLines(
        image, rows.height, rows.width, [&](int y, int x) { return size_t(y) * rows.pitch + x; }, filter);
    return image;
}

// Vertical pass, then horizontal, over a picture with rows packed. The
// engine runs the vertical pass on the image turned clockwise, whose rows are
// columns read from the bottom up, so the vertical sums here run upwards too:
// that order decides the rounding.
template <typename LineFilter>
std::vector<PixelF> Blur(std::vector<PixelF> image, const ImageDims& dims, const LineFilter& filter) {
    const auto upwards = [&](int x, int j) { return size_t(dims.height - 1 - j) * dims.width + x; };
    FilterLines(image, dims.width, dims.height, upwards, filter);
    return FilterRows(std::move(image), dims, filter);
}

// One pixel in gray, alpha kept, unclamped.
PixelF Gray(const PixelF& p) {
    const float g = (0.298912f * p.red + 0.586611f * p.green) + 0.114478f * p.blue;
    return {p.alpha, g, g, g};
}

}  // namespace

std::vector<float> WeightTable(float sigma) {
    int n = 1 - 2 * static_cast<int>((sigma * -9.0f) * 0.5f);
    if (n < 7) n = 7;
    const float coef1 = std::fmin(1.0f / std::sqrt(sigma * 6.2831855f), 1.0f);
    const float coef2 = std::fmax(-1.0f / ((sigma + sigma) * sigma), -3.4028235e38f);
    std::vector<float> table(n);
    for (int i = 0; i < n; ++i) {
        const int d = i - n / 2;
        table[i] = static_cast<float>(std::exp(static_cast<double>(static_cast<float>(d * d) * coef2))) * coef1;
    }
    return table;
}

std::vector<PixelF> BoxRows(const std::vector<PixelF>& image, const ImageDims& rows, float a) {
    return FilterRows(image, rows, [a](const Line& line) { return BoxLine(line, a); });
}

std::vector<PixelF> GaussianRows(const std::vector<PixelF>& image, const ImageDims& rows,
                                 const std::vector<float>& table) {
    return FilterRows(image, rows, [&table](const Line& line) { return GaussianLine(line, table); });
}

float Unsharp(float sharp, float blurred, float amount) { return Clamp((sharp - blurred) * amount + sharp); }

std::vector<PixelF> RunPattern(const PixelF* input, const ImageDims& dims, const PatternSettings& settings) {
    const ImageDims packed{dims.width, dims.height, dims.width};
    std::vector<PixelF> pattern;
    for (int y = 0; y < dims.height; ++y) {
        for (int x = 0; x < dims.width; ++x) pattern.push_back(input[static_cast<size_t>(y) * dims.pitch + x]);
    }
    if (settings.grayMode == 2) std::ranges::transform(pattern, pattern.begin(), Gray);

    const float blurSigma = Sanitized(settings.blurSigma);
    const std::vector<float> blurTable = WeightTable(blurSigma);
    const std::vector<float> sharpenTable = WeightTable(Sanitized(settings.sharpenSigma));
    const auto patternFilter = [&](const Line& line) {
        return settings.blurMode == 1 ? BoxLine(line, blurSigma * 3.0f) : GaussianLine(line, blurTable);
    };
    const auto sharpenFilter = [&](const Line& line) { return GaussianLine(line, sharpenTable); };

    // Every step but the gray conversion treats the channels apart.
    for (int i = 0; i < settings.iterations; ++i) {
        const std::vector<PixelF> blurred = Blur(pattern, packed, patternFilter);
        const std::vector<PixelF> sharpenBlurred = Blur(blurred, packed, sharpenFilter);
        for (size_t p = 0; p < pattern.size(); ++p) {
            for (float PixelF::*c : kChannels)
                pattern[p].*c = Unsharp(blurred[p].*c, sharpenBlurred[p].*c, settings.sharpenAmount);
        }
    }
    if (settings.grayMode == 3) std::ranges::transform(pattern, pattern.begin(), Gray);
    return pattern;
}

std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed, float spare) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> channel(-0.25f, 1.25f);
    std::vector<PixelF> image(static_cast<size_t>(dims.pitch) * dims.height, PixelF{spare, spare, spare, spare});
    for (size_t i = 0; i < image.size(); ++i) {
        if (static_cast<int>(i % dims.pitch) < dims.width)
            image[i] = {channel(rng), channel(rng), channel(rng), channel(rng)};
    }
    return image;
}

bool SameVisibleBits(const PixelF* image, const ImageDims& dims, const std::vector<PixelF>& packed) {
    if (packed.size() != static_cast<size_t>(dims.width) * dims.height) return false;
    for (int y = 0; y < dims.height; ++y) {
        const PixelF* want = packed.data() + static_cast<size_t>(y) * dims.width;
        if (std::memcmp(image + static_cast<size_t>(y) * dims.pitch, want, dims.width * sizeof(PixelF)) != 0) {
            return false;
        }
    }
    return true;
}

std::vector<const BlurKernelSet*> RunnableKernels() {
    std::vector<const BlurKernelSet*> sets;
    for (const InstructionSet set : kInstructionSets)
        if (const BlurKernelSet* kernels = KernelsFor(set)) sets.push_back(kernels);
    return sets;
}

}  // namespace maculo::reference
