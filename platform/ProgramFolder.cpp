#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace movira {

std::string ProgramFolder::executableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path().string();
}

std::string ProgramFolder::homeFolder(const std::string& homeOption, const std::string& programFolder) {
    if (!homeOption.empty()) return homeOption;
    const char* fromEnvironment = std::getenv("MOVIRA_HOME");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    return programFolder;
}

}  // namespace movira
