#include "tests/fuzz/FuzzedFrame.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/ControlSettings.h"
#include "engine/FilterShapes.h"
#include "minihost/EffectSession.h"
#include "tests/TestSupport.h"
#include "tests/engine/DirectRender.h"

namespace maculo::fuzz {
namespace {

// Values taken in order from the fuzzer's bytes, little-endian; zeros once they run out.
struct ByteReader {
    const uint8_t* data;
    size_t left;

    template <typename T>
    T Take() {
        T value{};
        const size_t n = std::min(sizeof value, left);
        std::memcpy(&value, data, n);
        data += n;
        left -= n;
        return value;
    }

    // The n-th remaining byte, cycling; 0 when there are none.
    uint8_t Cycled(size_t n) const { return left == 0 ? 0 : data[n % left]; }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kSpecialDoubles[] = {kNaN,   -kNaN,    kInf, -kInf, -0.0,  std::numeric_limits<double>::max(),
                                      -1e300, 4.9e-324, 1e30, -1.0,  200.5, 10000.5};
constexpr float kSpecialFloats[] = {float(kNaN),  float(kInf), float(-kInf), FLT_MAX, -FLT_MAX,
                                    FLT_TRUE_MIN, -0.0f,       1.0f + 1e-7f, -1e-30f, 65504.0f};

// A slider value: raw bits, a special value, or one spread over a little
// more than the sliders' ranges.
double SliderValue(ByteReader& in) {
    const uint8_t kind = in.Take<uint8_t>();
    if (kind % 4 == 0) return in.Take<double>();
    if (kind % 4 == 1) return kSpecialDoubles[in.Take<uint8_t>() % std::size(kSpecialDoubles)];
    return in.Take<uint16_t>() / 65535.0 * 260.0 - 30.0;
}

minihost::EffectSession& Session() {
    // Loaded once and kept, as a host keeps its plug-ins.
    static auto* session = new minihost::EffectSession(MACULO_PLUGIN_PATH);
    return *session;
}

struct Frame {
    int depth;
    PF_PixelFormat reported;  // the pixel format the host reports for the layer
    A_long width, height;     // the output's
    A_long layerWidth, layerHeight;
    A_long layerPadding, outputPadding;
    A_long layerTrim, outputTrim;  // bytes taken off each world's rowbytes, as a careless host might
    PF_GPU_Framework gpu;
    A_u_long downsample;
    PatternControls controls;
    int cancelAfter;  // progress calls answered before the user interrupts (at most three iterations run)
    bool specials;    // float layers: sprinkle NaN, infinities and extremes
};

Frame Decode(ByteReader& in) {
    Frame f{};
    const uint8_t depth = in.Take<uint8_t>();
    f.depth = depth % 3 == 0 ? 8 : depth % 3 == 1 ? 16 : 32;
    f.reported = depth & 0x80 ? in.Take<uint32_t>() : test::FormatOfDepth(f.depth);
    f.width = in.Take<uint8_t>() % 65;
    f.height = in.Take<uint8_t>() % 65;
    const bool sameSize = in.Take<uint8_t>() % 4 != 0;
    f.layerWidth = sameSize ? f.width : in.Take<uint8_t>() % 65;
    f.layerHeight = sameSize ? f.height : in.Take<uint8_t>() % 65;
    const uint8_t padding = in.Take<uint8_t>();
    f.layerPadding = padding % 16;
    f.outputPadding = padding / 16;
    f.gpu = in.Take<int32_t>();
    f.downsample = in.Take<uint32_t>();
    // In the order of the table (a braced list is read left to right).
    f.controls = {in.Take<int32_t>(), in.Take<int32_t>(), in.Take<int32_t>(), SliderValue(in),
                  SliderValue(in),    SliderValue(in),    SliderValue(in),    in.Take<int32_t>()};
    const uint8_t last = in.Take<uint8_t>();
    f.cancelAfter = last % 2;
    f.specials = last & 0x10;
    const uint8_t trim = in.Take<uint8_t>();
    if (trim >= 0xC0) {
        f.layerTrim = trim & 0x07;
        f.outputTrim = (trim >> 3) & 0x07;
    }
    return f;
}

// Enormous widths are bounded to the engine's widest filter, whose cost per
// pixel would starve the fuzzer on large frames: such frames shrink until
// pixels times filter taps stay within what a frame of normal controls costs.
void BoundWork(Frame& f) {
    constexpr double kMaxTapsTimesPixels = 64.0 * 64.0 * 100.0;
    const PatternSettings s = SettingsFromControls(f.controls, f.downsample, false);
    const double taps = std::max({double(ShapeGaussianTable(s.blurSigma).taps),
                                  double(ShapeBoxWindow(SanitizeSigma(s.blurSigma) * 3.0f).k + 2),
                                  double(ShapeGaussianTable(s.sharpenSigma).taps)});
    const double area = std::max({double(f.width) * f.height, double(f.layerWidth) * f.layerHeight, 1.0});
    const double scale = std::sqrt(kMaxTapsTimesPixels / (taps * area));
    if (scale >= 1.0) return;
    for (A_long* side : {&f.width, &f.height, &f.layerWidth, &f.layerHeight}) *side = A_long(*side * scale);
}

// The layer's `count` bytes, padding included, from the rest of the input.
void FillLayer(PF_EffectWorld& layer, size_t count, const Frame& f, const ByteReader& in) {
    auto* bytes = reinterpret_cast<uint8_t*>(layer.data);
    for (size_t i = 0; i < count; ++i) bytes[i] = in.Cycled(i);
    if (f.depth != 32 || !f.specials) return;
    auto* channels = reinterpret_cast<float*>(layer.data);
    for (size_t i = 0; i < count / sizeof(float); i += 1 + in.Cycled(i) % 7)
        channels[i] = kSpecialFloats[in.Cycled(i + 1) % std::size(kSpecialFloats)];
}

template <typename Pixel>
std::vector<uint8_t> Expected(const PF_EffectWorld& layer, const Frame& f) {
    const ImageDims dims{layer.width, layer.height, A_long(layer.rowbytes / A_long(sizeof(Pixel)))};
    const std::vector<Pixel> pixels = DirectRender(reinterpret_cast<const Pixel*>(layer.data), dims, f.width, f.height,
                                                   SettingsFromControls(f.controls, f.downsample, false));
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
    return {bytes, bytes + pixels.size() * sizeof(Pixel)};
}

// The output's picture, rows packed.
std::vector<uint8_t> Picture(const PF_EffectWorld& output, size_t pixelBytes) {
    std::vector<uint8_t> picture;
    const auto* row = reinterpret_cast<const uint8_t*>(output.data);
    for (A_long y = 0; y < output.height; ++y, row += output.rowbytes)
        picture.insert(picture.end(), row, row + size_t(output.width) * pixelBytes);
    return picture;
}

constexpr uint8_t kUntouched = 0x5A;

// A world whose rows hold whole pixels and at least its picture's width.
bool Addressable(const PF_EffectWorld& world, size_t pixelBytes) {
    return world.rowbytes > 0 && size_t(world.rowbytes) % pixelBytes == 0 &&
           size_t(world.rowbytes) / pixelBytes >= size_t(world.width);
}

}  // namespace

std::vector<std::string> RunFuzzedFrame(const uint8_t* data, size_t size) {
    ByteReader in{data, size};
    Frame f = Decode(in);
    BoundWork(f);
    minihost::EffectSession& session = Session();
    minihost::Host& host = session.GetHost();

    test::SetControls(host.Params(), f.controls);
    int progressCalls = 0;
    host.Params().SetProgress(
        [&](A_long, A_long) { return ++progressCalls > f.cancelAfter ? PF_Interrupt_CANCEL : PF_Err_NONE; });

    std::vector<std::string> problems;
    const auto expect = [&](bool holds, const std::string& promise) {
        if (!holds) problems.push_back(promise);
    };
    expect(session.SetUpGpu(f.gpu) == PF_Err_NONE, "GPU device setup answers 0");

    minihost::WorldSuite& worlds = host.Worlds();
    PF_EffectWorld* layer = worlds.MakeWorld(f.layerWidth, f.layerHeight, test::FormatOfDepth(f.depth), f.layerPadding);
    PF_EffectWorld* output = worlds.MakeWorld(f.width, f.height, test::FormatOfDepth(f.depth), f.outputPadding);
    const size_t outputBytes = size_t(output->rowbytes) * size_t(output->height);  // all the host allocated
    FillLayer(*layer, size_t(layer->rowbytes) * size_t(layer->height), f, in);
    std::memset(output->data, kUntouched, outputBytes);
    worlds.ReportFormatAs(layer, f.reported);
    layer->rowbytes -= f.layerTrim;
    output->rowbytes -= f.outputTrim;

    const bool empty = f.width == 0 || f.height == 0;
    const PF_Err err = session.RenderFrameAt(0, f.downsample, *layer, *output, int16_t(f.depth), f.gpu);

    const size_t pixelBytes = size_t(f.depth / 2);
    const bool known = f.reported == test::FormatOfDepth(f.depth);
    const bool unusable = !Addressable(*layer, pixelBytes) || !Addressable(*output, pixelBytes) ||
                          f.layerWidth < f.width || f.layerHeight < f.height;
    const bool cancelled = progressCalls > f.cancelAfter;
    const PF_Err expected = !known      ? PF_Err_INTERNAL_STRUCT_DAMAGED
                            : empty     ? PF_Err_NONE
                            : unusable  ? PF_Err_INTERNAL_STRUCT_DAMAGED
                            : cancelled ? PF_Interrupt_CANCEL
                                        : PF_Err_NONE;
    expect(err == expected, "the frame answers " + std::to_string(expected) + ", not " + std::to_string(err));

    // Picture bytes as the host sees the output; every other byte it allocated is the host's alone.
    const auto* outBytes = reinterpret_cast<const uint8_t*>(output->data);
    const size_t hostRows = output->rowbytes > 0 ? size_t(output->rowbytes) * size_t(output->height) : 0;
    bool othersKept = true, untouched = true;
    for (size_t i = 0; i < outputBytes; ++i) {
        const bool picture = i < hostRows && i % size_t(output->rowbytes) < size_t(f.width) * pixelBytes;
        if (outBytes[i] != kUntouched) (picture ? untouched : othersKept) = false;
    }
    expect(othersKept, "nothing outside the output's picture is written");
    if (err != PF_Err_NONE) expect(untouched, "a failed frame leaves the output untouched");
    if (err == PF_Err_NONE && known && !empty && !unusable) {
        const std::vector<uint8_t> expectedPicture = f.depth == 8    ? Expected<Pixel8>(*layer, f)
                                                     : f.depth == 16 ? Expected<Pixel16>(*layer, f)
                                                                     : Expected<PixelF>(*layer, f);
        expect(Picture(*output, pixelBytes) == expectedPicture, "the picture equals the engine's own");
    }

    expect(worlds.LiveEffectWorlds() == 0, "every working image is disposed");
    expect(host.Suites().Outstanding() == 0, "every suite is released");
    expect(host.Params().OutstandingCheckouts() == 0, "every control is checked in");
    expect(host.Handles().LiveCount() == 1 && host.Handles().LockedCount() == 0, "no handle is left behind");
    for (const std::string& misuse : host.Log().Misuses()) problems.push_back("host rule broken: " + misuse);

    // What this frame left in the host is freed again, so that the fuzzer's
    // leak check sees the effect's allocations alone.
    host.Log().Clear();
    host.Params().SetProgress(nullptr);
    worlds.DisposeHostWorld(layer);
    worlds.DisposeHostWorld(output);
    return problems;
}

}  // namespace maculo::fuzz
