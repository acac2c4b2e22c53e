// Where the program's own files are, and where the user's files go: the settings file, the
// default track folder and the single-instance socket. Any thread.
#pragma once

#include <functional>
#include <string>

namespace movira {

// The folders of one run.
struct ProgramFolders {
    std::string program;  // the executable's folder: libParvox.so and libOrbelin.so are looked for here
    std::string data;     // Pics, Wav, lcd-u.ttf: the program folder in a build, <prefix>/share/movira installed
    std::string home;     // where Speedometer.ini lives
    std::string tracks;   // the default track folder (the settings' TrackFolder names another)
    // True when home and tracks are the user's own folders ($XDG_CONFIG_HOME/movira and the
    // documents folder) because the program folder is not a writable development folder.
    bool userFolders = false;
};

class ProgramFolder {
public:
    // Reads one environment variable: null when unset (std::getenv in the program).
    using Environment = std::function<const char*(const char*)>;

    // The folder of /proc/self/exe without a trailing "/"; empty when unknown.
    static std::string executableFolder();

    // The folders of a program whose executable lies in `executableFolder`:
    // - data: the executable's folder when a "Pics" folder lies beside it (a build, or a
    //   portable copy), else the installed share folder found relative to it;
    // - home: `homeOption`, else $MOVIRA_HOME, else the program folder when it holds its data
    //   and can be written (the development build), else $XDG_CONFIG_HOME/movira
    //   (default ~/.config/movira);
    // - tracks: home/Tracks, except with the user's folders: <documents folder>/Movira, the
    //   documents folder being the one xdg-user-dirs names (default ~/Documents).
    static ProgramFolders locate(const std::string& executableFolder, const std::string& homeOption,
                                 const Environment& environment);
    // The folders of this process, from its environment.
    static ProgramFolders locate(const std::string& homeOption);

    // The user's documents folder: XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else
    // ~/Documents. Empty when no home folder is known.
    static std::string documentsFolder(const Environment& environment);

    // $XDG_RUNTIME_DIR when it is an absolute path to a folder of this user that nobody else
    // may write; else empty (the caller then falls back to a private folder of its own).
    static std::string runtimeFolder(const Environment& environment);
    static std::string runtimeFolder();

    // Creates `folder` and its missing parents, private to the user (0700) as the XDG base
    // directories ask. True when it exists afterwards.
    static bool createPrivateFolder(const std::string& folder);
};

}  // namespace movira
