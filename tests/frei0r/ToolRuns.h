// What every test of the filter in real video tools shares: a scratch folder
// and the tools run in it with the filter on their search path.
#pragma once

#include <cstdlib>
#include <string>

#include "tests/cli/ScratchFolder.h"

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
};

}  // namespace maculo
