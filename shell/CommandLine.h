// The program's command line:
//   Speedometer [--home DIR] [--windowed WxH] [--quit-after SECONDS]
//               [--snapshot-dir DIR] [--help] [--version]
#pragma once

#include "display/Geometry.h"

#include <optional>
#include <string>
#include <vector>

namespace movira {

struct CommandLine {
    std::string home;              // empty: MOVIRA_HOME, else the program folder or the user's folders
    std::optional<Size> windowed;  // a plain window of this client size instead of full screen
    std::optional<double> quitAfterSeconds;
    std::string snapshotDir;
    bool help = false;
    bool version = false;
    std::string error;  // set when the line cannot be used; the program then exits with 2

    static CommandLine parse(const std::vector<std::string>& arguments);
    // The options, for `program` (the name the user typed: "movira" installed).
    static std::string usage(const std::string& program = "Speedometer");
    // The last part of argv[0]; "Speedometer" when there is none.
    static std::string programName(const char* argv0);
};

}  // namespace movira
