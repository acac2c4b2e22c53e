// Where the program's files are: the folder of the running executable, and the
// home folder for the settings file and tracks (--home, MOVIRA_HOME, else the same).
#pragma once

#include <string>

namespace movira {

class ProgramFolder {
public:
    // The folder of /proc/self/exe without a trailing "/"; empty when unknown.
    static std::string executableFolder();
    // `homeOption` when given, else MOVIRA_HOME when set, else `programFolder`.
    static std::string homeFolder(const std::string& homeOption, const std::string& programFolder);
};

}  // namespace movira
