#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

// The installed share folder as seen from the installed program's folder; the build sets it
// from the install layout (for example "../../../share/movira" from lib/<triplet>/movira).
#ifndef MOVIRA_DATA_FROM_PROGRAM
#define MOVIRA_DATA_FROM_PROGRAM "../share/movira"
#endif

namespace movira {
namespace {

namespace fs = std::filesystem;

std::string variable(const ProgramFolder::Environment& environment, const char* name) {
    const char* value = environment ? environment(name) : nullptr;
    return value ? std::string(value) : std::string();
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The user's home: $HOME, else the password database's entry.
std::string userHome(const ProgramFolder::Environment& environment) {
    std::string home = withoutTrailingSlashes(variable(environment, "HOME"));
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
        home = withoutTrailingSlashes(found->pw_dir);
    }
    return home;
}

// An XDG base directory variable: only an absolute path counts, as the XDG Base Directory
// rules say; otherwise $HOME/<fallback>.
std::string baseDirectory(const ProgramFolder::Environment& environment, const char* name, const char* fallback) {
    const std::string value = variable(environment, name);
    if (!value.empty() && value.front() == '/') return value;
    const std::string home = userHome(environment);
    return home.empty() ? std::string() : home + "/" + fallback;
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs.dirs file: a quoted "$HOME/..." or absolute
// path (the only forms the file may hold); empty when absent or malformed.
std::string documentsEntry(const std::string& userDirsFile, const std::string& home) {
    std::ifstream file(userDirsFile);
    std::string line;
    std::string found;
    while (std::getline(file, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 18, "XDG_DOCUMENTS_DIR=") != 0) continue;
        std::string value = line.substr(start + 18);
        if (const size_t end = value.find_last_not_of(" \t\r"); end != std::string::npos) value.erase(end + 1);
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        std::string unescaped;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            unescaped += value[i];
        }
        if (unescaped.rfind("$HOME", 0) == 0 && (unescaped.size() == 5 || unescaped[5] == '/')) {
            found = home + unescaped.substr(5);
        } else if (!unescaped.empty() && unescaped.front() == '/') {
            found = unescaped;
        }
        // The last assignment wins, as when the shell reads the file.
    }
    return found.empty() ? found : withoutTrailingSlashes(found);
}

}  // namespace

std::string ProgramFolder::executableFolder() {
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path().string();
}

ProgramFolders ProgramFolder::locate(const std::string& executableFolder, const std::string& homeOption,
                                     const Environment& environment) {
    ProgramFolders folders;
    folders.program = executableFolder;
    folders.data = executableFolder;
    const bool dataBeside = isDirectory(executableFolder + "/Pics");
    if (!dataBeside && !executableFolder.empty()) {
        const std::string installed =
            fs::path(executableFolder + "/" MOVIRA_DATA_FROM_PROGRAM).lexically_normal().string();
        if (isDirectory(installed)) folders.data = withoutTrailingSlashes(installed);
    }

    std::string home = homeOption;
    if (home.empty()) home = variable(environment, "MOVIRA_HOME");
    // A development build or a portable copy keeps everything in its own folder, as long as it may.
    if (home.empty() && dataBeside && access(executableFolder.c_str(), W_OK) == 0) home = executableFolder;
    if (home.empty()) {
        const std::string config = baseDirectory(environment, "XDG_CONFIG_HOME", ".config");
        const std::string documents = documentsFolder(environment);
        if (!config.empty() && !documents.empty()) {
            folders.home = config + "/movira";
            folders.tracks = documents + "/Movira";
            folders.userFolders = true;
            return folders;
        }
        home = executableFolder;  // no home folder known at all: the old place, come what may
    }
    folders.home = home;
    folders.tracks = home + "/Tracks";
    return folders;
}

ProgramFolders ProgramFolder::locate(const std::string& homeOption) {
    return locate(executableFolder(), homeOption, std::getenv);
}

std::string ProgramFolder::documentsFolder(const Environment& environment) {
    const std::string home = userHome(environment);
    if (home.empty()) return {};
    const std::string config = baseDirectory(environment, "XDG_CONFIG_HOME", ".config");
    // "$HOME" itself there means the user turned the folder off: files then go into the home.
    const std::string named = documentsEntry(config + "/user-dirs.dirs", home);
    return named.empty() ? withoutTrailingSlashes(home) + "/Documents" : named;
}

std::string ProgramFolder::runtimeFolder(const Environment& environment) {
    const std::string folder = variable(environment, "XDG_RUNTIME_DIR");
    if (folder.empty() || folder.front() != '/') return {};
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return {};
    // Anyone else able to write there could take the socket's name first.
    if (info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return {};
    return withoutTrailingSlashes(folder);
}

std::string ProgramFolder::runtimeFolder() { return runtimeFolder(std::getenv); }

bool ProgramFolder::createPrivateFolder(const std::string& folder) {
    if (folder.empty()) return false;
    for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return isDirectory(folder);
}

}  // namespace movira
