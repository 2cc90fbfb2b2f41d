// What every test of the filter in real video tools shares: a scratch folder,
// the tools run in it with the filter on their search path, and a melt
// profile for pictures of a given size.
#pragma once

#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>

#include "cli/ScratchFolder.h"

namespace maculo {

class ToolRuns : public ScratchFolder {
protected:
    // Runs a program in the work folder (`env`'s command line, so that it
    // may begin with settings), with the filter on the search path and, in
    // the sanitizer builds, their runtime loaded first; a crash, a
    // sanitizer's report or a hang fails. Gives what it wrote.
    std::string Run(const std::string& command) const {
        const std::string log = (root_ / "log.txt").string();
        const std::string line = "cd '" + File("") + "' && FREI0R_PATH='" MACULO_FREI0R_DIR "' " MACULO_HOST_ENV
                                 "timeout -s KILL 300 env " +
                                 command + " > '" + log + "' 2>&1";
        const int status = std::system(line.c_str());
        const std::string output = FileContent(log);
        EXPECT_EQ(status, 0) << command << "\n" << output;
        return output;
    }

    // profile.txt: progressive pictures of `width` x `height` at 25 frames a
    // second, so that melt scales nothing.
    void Profile(int width, int height) const {
        const int common = std::gcd(width, height);
        std::ofstream(File("profile.txt")) << "description=pictures\nframe_rate_num=25\nframe_rate_den=1\nwidth="
                                           << width << "\nheight=" << height
                                           << "\nprogressive=1\nsample_aspect_num=1\nsample_aspect_den=1\n"
                                              "display_aspect_num="
                                           << width / common << "\ndisplay_aspect_den=" << height / common
                                           << "\ncolorspace=709\n";
    }
};

}  // namespace maculo
