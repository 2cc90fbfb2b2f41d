// The filter called from several threads of one host process at once: MLT's
// slices and its consumer's threads, and two GStreamer pipelines. No crash,
// no sanitizer report, and the frames of every run equal those ffmpeg makes
// from one thread. Tiny frames, so that the sanitizer builds run these too.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>

#include "tests/frei0r/ToolRuns.h"

namespace maculo {
namespace {

// 64x48: MLT's two slices are 24 rows each.
constexpr const char* kSize = "64x48";
constexpr int kFrames = 3;

class HostThreads : public ToolRuns {
protected:
    // Noisy pictures (a blur of a flat area would hide a wrong row), as PNG
    // files for melt and as raw RGBA for the rest, and ffmpeg's frames of
    // them through the filter.
    void SetUp() override {
        ToolRuns::SetUp();
        Run("ffmpeg -nostdin -v error -y -f lavfi -i 'testsrc2=size=" + std::string(kSize) +
            ":rate=25,noise=alls=80:allf=t+u' -frames:v " + std::to_string(kFrames) +
            " -pix_fmt rgba src_%04d.png");
        Run("ffmpeg -nostdin -v error -y -i src_%04d.png -f rawvideo -pix_fmt rgba src.rgba");
        Run(Ffmpeg("frei0r=maculo_pattern", "whole.rgba"));
    }

    // ffmpeg from src.rgba through `filters` into the raw file `out`.
    static std::string Ffmpeg(const std::string& filters, const std::string& out) {
        return std::string("ffmpeg -nostdin -v error -y -f rawvideo -pixel_format rgba -video_size ") + kSize +
               " -i src.rgba -filter_complex '" + filters + "' -f rawvideo -pix_fmt rgba " + out;
    }

    // The frames melt writes with the filter's and the consumer's properties.
    // MLT now and then ends a render without a frame, with or without a
    // filter (a race of its own): such a run, known by the line its log
    // prints when nothing was written, is said and run again. A wrong frame
    // is never run again.
    std::string Melt(const std::string& filter, const std::string& consumer) const {
        // Progressive pictures of their own size at 25 frames a second, so that melt scales nothing.
        std::ofstream(File("profile.txt")) << "description=pictures\nframe_rate_num=25\nframe_rate_den=1\nwidth=64\n"
                                              "height=48\nprogressive=1\nsample_aspect_num=1\nsample_aspect_den=1\n"
                                              "display_aspect_num=4\ndisplay_aspect_den=3\ncolorspace=709\n";
        for (int attempt = 1; attempt <= 3; ++attempt) {
            // MLT's avformat producer reads the pictures: its gdk-pixbuf one
            // deadlocks at start-up under the sanitizer's runtime.
            const std::string log =
                Run("melt -silent -verbose -profile profile.txt avformat:src_%04d.png out=" +
                    std::to_string(kFrames - 1) + " -filter frei0r.maculo_pattern " + filter +
                    " -consumer avformat:melt.rgba f=rawvideo vcodec=rawvideo pix_fmt=rgba an=1 " + consumer);
            const std::string frames = FileContent(File("melt.rgba"));
            if (!frames.empty() || log.find("Statistics: 0 bytes written") == std::string::npos) return frames;
            std::cout << "melt " << filter << " " << consumer
                      << ": MLT ended without writing a frame, a race of its own; run again\n";
        }
        ADD_FAILURE() << "melt wrote no frame three times";
        return "";
    }
};

// MLT's `threads` gives the filter one instance with a slice's height and
// calls it from several threads at once, each with its own slice: each
// slice comes out as the filter makes it of that slice alone.
// `real_time` -2 renders frames on two threads, each with an instance of
// its own, which make whole frames.
TEST_F(HostThreads, MeltSlicesAndConsumerThreads) {
    Run(Ffmpeg("split[a][b];[a]crop=64:24:0:0,frei0r=maculo_pattern[top];"
               "[b]crop=64:24:0:24,frei0r=maculo_pattern[bottom];[top][bottom]vstack",
               "slices.rgba"));
    const std::string slices = FileContent(File("slices.rgba"));
    ASSERT_NE(slices, FileContent(File("whole.rgba")));
    EXPECT_TRUE(Melt("threads=2", "") == slices);
    EXPECT_TRUE(Melt("", "real_time=-2") == FileContent(File("whole.rgba")));
}

// Two pipelines in one gst-launch process, each with its own instance and
// its own controls (by name, as GStreamer's properties call them; ffmpeg's
// by position), run on threads of their own at once.
TEST_F(HostThreads, GStreamerTwoPipelinesInOneProcess) {
    Run(Ffmpeg("frei0r=maculo_pattern:detail|box|after|0.03|0.02|0.015|0.05|0.005", "detail.rgba"));
    const std::string chain = "filesrc location=src.rgba ! rawvideoparse width=64 height=48 format=rgba "
                              "framerate=25/1 ! frei0r-filter-maculo-pattern ";
    Run("gst-launch-1.0 -q " + chain + "! filesink location=gst.rgba " + chain +
        "mode=detail blur=box gray=after blur-radius=0.02 sharp-radius=0.015 sharpen=0.05 amount=0.005 " +
        "! filesink location=gst2.rgba");
    EXPECT_TRUE(FileContent(File("gst.rgba")) == FileContent(File("whole.rgba")));
    EXPECT_TRUE(FileContent(File("gst2.rgba")) == FileContent(File("detail.rgba")));
}

}  // namespace
}  // namespace maculo
