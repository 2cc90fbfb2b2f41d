#include "bench/OpenCvPeer.h"

#include <functional>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/FilterShapes.h"

namespace maculo::bench {
namespace {

cv::Mat Wrap(const float* pixels, int channels, const ImageDims& dims) {
    return cv::Mat(dims.height, dims.width, CV_32FC(channels), const_cast<float*>(pixels),
                   static_cast<size_t>(dims.pitch) * channels * sizeof(float));
}

// The box window as a separable kernel: k ones and f at each end, normalised.
cv::Mat BoxKernel(float a) {
    const BoxWindow window = ShapeBoxWindow(a);
    cv::Mat kernel(window.k + 2, 1, CV_32F, cv::Scalar(1.0));
    kernel.at<float>(0) = window.f;
    kernel.at<float>(window.k + 1) = window.f;
    return kernel / ((window.f + window.f) + static_cast<float>(window.k));
}

// Runs step(rows) over one band of rows per thread. Each band's blur reads
// the neighbouring bands' rows (OpenCV looks beyond a region of interest
// unless told the border is isolated), so the bands join seamlessly.
void InBands(int height, const std::function<void(const cv::Range&)>& step) {
    cv::parallel_for_(cv::Range(0, height), step, cv::getNumThreads());
}

}  // namespace

void RunOpenCvPeer(const float* input, float* blurred, float* sharpened, float* pattern, int channels,
                   const ImageDims& dims, const PatternSettings& settings) {
    const cv::Mat in = Wrap(input, channels, dims);
    cv::Mat b = Wrap(blurred, channels, dims);
    cv::Mat g = Wrap(sharpened, channels, dims);
    cv::Mat p = Wrap(pattern, channels, dims);
    in.copyTo(p);

    const float blurSigma = SanitizeSigma(settings.blurSigma);
    const float sharpenSigma = SanitizeSigma(settings.sharpenSigma);
    const int blurTaps = ShapeGaussianTable(blurSigma).taps;
    const int sharpenTaps = ShapeGaussianTable(sharpenSigma).taps;
    const cv::Mat box = BoxKernel(blurSigma * 3.0f);
    const double gain = settings.sharpenAmount;

    for (int32_t i = 0; i < settings.iterations; ++i) {
        InBands(dims.height, [&](const cv::Range& rows) {
            if (settings.blurMode == kBlurBox) {
                cv::sepFilter2D(p.rowRange(rows), b.rowRange(rows), CV_32F, box, box, cv::Point(-1, -1), 0.0,
                                cv::BORDER_REFLECT_101);
            } else {
                cv::GaussianBlur(p.rowRange(rows), b.rowRange(rows), cv::Size(blurTaps, blurTaps), blurSigma, blurSigma,
                                 cv::BORDER_REFLECT_101);
            }
        });
        InBands(dims.height, [&](const cv::Range& rows) {
            cv::Mat band = p.rowRange(rows);
            cv::GaussianBlur(b.rowRange(rows), g.rowRange(rows), cv::Size(sharpenTaps, sharpenTaps), sharpenSigma,
                             sharpenSigma, cv::BORDER_REFLECT_101);
            cv::addWeighted(b.rowRange(rows), 1.0 + gain, g.rowRange(rows), -gain, 0.0, band);
            cv::threshold(band, band, 1.0, 1.0, cv::THRESH_TRUNC);
            cv::threshold(band, band, 0.0, 0.0, cv::THRESH_TOZERO);
        });
    }
}

}  // namespace maculo::bench
