#include "ReferencePattern.h"

#include <array>
#include <bit>
#include <cmath>
#include <random>

namespace maculo::reference {
namespace {

using Channels = std::array<float, 4>;
using Line = std::vector<Channels>;

Channels Split(const PixelF& p) { return {p.alpha, p.red, p.green, p.blue}; }
PixelF Join(const Channels& c) { return {c[0], c[1], c[2], c[3]}; }

float Clamp(float c) {
    if (!(c > 0.0f)) c = 0.0f;
    if (c > 1.0f) c = 1.0f;
    return c;
}

float Sanitized(float sigma) {
    if (!(sigma > 0.0f)) return 0.0f;
    return std::fmin(sigma, 2000.0f);
}

// Reflection about both row ends, repeated until the position is inside.
int Reflect(int p, int last) {
    if (last == 0) return 0;
    while (p < 0 || p > last) {
        if (p < 0) p = -p;
        if (p > last) p = 2 * last - p;
    }
    return p;
}

std::vector<float> WeightTable(float sigma) {
    int n = 1 - 2 * static_cast<int>((sigma * -9.0f) * 0.5f);
    if (n < 7) n = 7;
    float coef1 = 1.0f / std::sqrt(sigma * 6.2831855f);
    if (coef1 > 1.0f) coef1 = 1.0f;
    float coef2 = -1.0f / ((sigma + sigma) * sigma);
    if (coef2 < -3.4028235e38f) coef2 = -3.4028235e38f;
    std::vector<float> table(n);
    for (int i = 0; i < n; ++i) {
        const int d = i - n / 2;
        const float x = static_cast<float>(d * d) * coef2;
        table[i] = static_cast<float>(std::exp(static_cast<double>(x))) * coef1;
    }
    return table;
}

Line GaussianLine(const Line& in, const std::vector<float>& table) {
    const int length = static_cast<int>(in.size());
    const int n = static_cast<int>(table.size());
    Line out(length);
    for (int x = 0; x < length; ++x) {
        for (int c = 0; c < 4; ++c) {
            float s = 0.0f;
            float w = 0.0f;
            for (int i = 0; i < n; ++i) {
                s = s + table[i] * in[Reflect(x + i - n / 2, length - 1)][c];
                w = w + table[i];
            }
            out[x][c] = Clamp(s / w);
        }
    }
    return out;
}

Line BoxLine(const Line& in, float a) {
    const int length = static_cast<int>(in.size());
    const int k = 1 - 2 * static_cast<int>(a * -0.5f);
    const int h = k / 2;
    const float f = a * 0.5f - std::floor(a * 0.5f);
    Line out(length);
    for (int x = 0; x < length; ++x) {
        for (int c = 0; c < 4; ++c) {
            float s = 0.0f;
            for (int i = -h; i <= h; ++i) s = s + in[Reflect(x + i, length - 1)][c];
            s = s + f * in[Reflect(x - h - 1, length - 1)][c];
            s = s + f * in[Reflect(x + h + 1, length - 1)][c];
            out[x][c] = Clamp(s / ((f + f) + static_cast<float>(k)));
        }
    }
    return out;
}

struct Plane {
    int width;
    int height;
    std::vector<Channels> px;
    Channels& At(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
};

// Vertical pass, then horizontal. The engine runs the vertical pass on the
// image turned clockwise, whose rows are columns read from the bottom up, so
// the vertical sums here run upwards too: that order decides the rounding.
template <typename LineFilter>
Plane Blur(Plane image, const LineFilter& filter) {
    Line line(image.height);
    for (int x = 0; x < image.width; ++x) {
        for (int j = 0; j < image.height; ++j) line[j] = image.At(x, image.height - 1 - j);
        const Line out = filter(line);
        for (int j = 0; j < image.height; ++j) image.At(x, image.height - 1 - j) = out[j];
    }
    line.resize(image.width);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) line[x] = image.At(x, y);
        const Line out = filter(line);
        for (int x = 0; x < image.width; ++x) image.At(x, y) = out[x];
    }
    return image;
}

void Gray(Plane& image) {
    for (Channels& p : image.px) {
        const float g = (0.298912f * p[1] + 0.586611f * p[2]) + 0.114478f * p[3];
        p = {p[0], g, g, g};
    }
}

}  // namespace

std::vector<PixelF> RunPattern(const PixelF* input, const ImageDims& dims,
                               const PatternSettings& settings) {
    Plane pattern{dims.width, dims.height, {}};
    for (int y = 0; y < dims.height; ++y) {
        for (int x = 0; x < dims.width; ++x) {
            pattern.px.push_back(Split(input[static_cast<size_t>(y) * dims.pitch + x]));
        }
    }
    if (settings.grayMode == 2) Gray(pattern);

    const float blurSigma = Sanitized(settings.blurSigma);
    const std::vector<float> blurTable = WeightTable(blurSigma);
    const std::vector<float> sharpenTable = WeightTable(Sanitized(settings.sharpenSigma));
    const auto patternFilter = [&](const Line& line) {
        return settings.blurMode == 1 ? BoxLine(line, blurSigma * 3.0f)
                                      : GaussianLine(line, blurTable);
    };
    const auto sharpenFilter = [&](const Line& line) { return GaussianLine(line, sharpenTable); };

    for (int i = 0; i < settings.iterations; ++i) {
        const Plane blurred = Blur(pattern, patternFilter);
        const Plane sharpenBlurred = Blur(blurred, sharpenFilter);
        for (size_t p = 0; p < pattern.px.size(); ++p) {
            for (int c = 0; c < 4; ++c) {
                const float s = blurred.px[p][c];
                const float b = sharpenBlurred.px[p][c];
                pattern.px[p][c] = Clamp((s - b) * settings.sharpenAmount + s);
            }
        }
    }
    if (settings.grayMode == 3) Gray(pattern);

    std::vector<PixelF> result;
    for (const Channels& p : pattern.px) result.push_back(Join(p));
    return result;
}

std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed, float spare) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> channel(-0.25f, 1.25f);
    std::vector<PixelF> image(static_cast<size_t>(dims.pitch) * dims.height);
    for (int y = 0; y < dims.height; ++y) {
        for (int x = 0; x < dims.pitch; ++x) {
            PixelF& p = image[static_cast<size_t>(y) * dims.pitch + x];
            p = x < dims.width ? PixelF{channel(rng), channel(rng), channel(rng), channel(rng)}
                               : PixelF{spare, spare, spare, spare};
        }
    }
    return image;
}

bool SameVisibleBits(const PixelF* image, const ImageDims& dims, const std::vector<PixelF>& packed) {
    if (packed.size() != static_cast<size_t>(dims.width) * dims.height) return false;
    for (int y = 0; y < dims.height; ++y) {
        for (int x = 0; x < dims.width; ++x) {
            const Channels a = Split(image[static_cast<size_t>(y) * dims.pitch + x]);
            const Channels b = Split(packed[static_cast<size_t>(y) * dims.width + x]);
            for (int c = 0; c < 4; ++c) {
                if (std::bit_cast<uint32_t>(a[c]) != std::bit_cast<uint32_t>(b[c])) return false;
            }
        }
    }
    return true;
}

}  // namespace maculo::reference
