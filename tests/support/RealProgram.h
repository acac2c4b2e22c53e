// The real program end to end, in a folder of its own: a home for its settings and tracks, a
// runtime folder and a temporary folder of its own (one copy runs per user: runs side by side
// never meet), Qt's offscreen platform, UTC and English, and no desktop session of the user's.
// A receiver is nmea-replay playing a log into a pseudo-terminal. Everything goes with the object.
#pragma once

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace movira::test {

// Under ThreadSanitizer the program runs many times slower than the receiver sends, so what the
// receiver has sent says nothing about what the program has taken by then.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kSlowedBySanitizer = true;
#else
inline constexpr bool kSlowedBySanitizer = false;
#endif

inline std::string readFile(const std::filesystem::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// A folder of its own under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const char* prefix = "movira-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Sections of a settings file: section -> key -> value. Its lines may start with blanks.
using SettingsFile = std::map<std::string, std::map<std::string, std::string>>;

inline SettingsFile readSettingsFile(const std::filesystem::path& path) {
    SettingsFile settings;
    std::istringstream in(readFile(path));
    std::string section;
    for (std::string line; std::getline(in, line);) {
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            settings[section];
        } else if (const size_t equals = line.find('='); equals != std::string::npos && line[0] != '#' && line[0] != ';') {
            settings[section][line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return settings;
}

class RealProgram {
public:
    static constexpr const char* ProgramPath = MOVIRA_BIN_DIR "/Speedometer";
    static constexpr const char* ReplayPath = MOVIRA_BIN_DIR "/nmea-replay";
    static constexpr const char* DemoDrive = MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea";

    explicit RealProgram(const char* prefix = "movira-e2e") : folder_(prefix) {
        root = folder_.path();
        home = root / "home";
        runtime = root / "runtime";
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(root / "tmp");
        std::filesystem::create_directory(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
    }
    ~RealProgram() { receiver.reset(); }  // the receiver stops before its folder goes
    RealProgram(const RealProgram&) = delete;
    RealProgram& operator=(const RealProgram&) = delete;

    // nmea-replay plays `log` at `speed` times real time into a terminal linked at root/<link>;
    // a receiver started before stops first. The link's path, or nothing when none appeared.
    std::optional<std::filesystem::path> startReceiver(const std::filesystem::path& log, double speed,
                                                       const std::string& link = "gps") {
        receiver.reset();
        const std::filesystem::path path = root / link;
        char pace[32];
        std::snprintf(pace, sizeof pace, "%g", speed);
        receiver = std::make_unique<ChildProcess>(
            std::vector<std::string>{ReplayPath, "--speed", pace, "--link", path.string(), log.string()},
            ChildProcess::Environment{}, root / (link + ".out"));
        for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!std::filesystem::exists(path)) return std::nullopt;
        return path;
    }
    // Replaces the settings file of the home.
    void writeSettings(const std::string& text) const { std::ofstream(home / "Speedometer.ini") << text; }
    // The settings file of the home as it is now (empty when there is none).
    SettingsFile settings() const {
        const std::filesystem::path file = home / "Speedometer.ini";
        return std::filesystem::exists(file) ? readSettingsFile(file) : SettingsFile{};
    }

    // The environment of a run: offscreen, the folders of this object, UTC, English, no
    // desktop session; under ThreadSanitizer the reports wholly inside Qt are suppressed.
    ChildProcess::Environment environment() const {
        const char* inherited = std::getenv("TSAN_OPTIONS");
        std::string tsan = inherited && *inherited ? inherited : "halt_on_error=1:second_deadlock_stack=1";
        tsan += ":suppressions=" MOVIRA_SOURCE_DIR "/tests/tsan-qt.supp";
        return {
            {"QT_QPA_PLATFORM", "offscreen"},
            {"XDG_RUNTIME_DIR", runtime.string()},
            // The single-instance socket lies in the temporary folder: runs side by side stay apart.
            {"TMPDIR", (root / "tmp").string()},
            // Receiver times are shown as they are, and the texts are English.
            {"TZ", "UTC0"},
            {"LC_ALL", "C.UTF-8"},
            {"MOVIRA_HOME", std::nullopt},
            {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
            {"DISPLAY", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt},
            {"TSAN_OPTIONS", tsan},
        };
    }

    // Starts the program with --home and `options`; its output goes to root/<name>.out.
    // `changes` add to (or remove from) the environment of a run.
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& options, const std::string& name = "program",
                                        const ChildProcess::Environment& changes = {}) const {
        std::vector<std::string> arguments{ProgramPath, "--home", home.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ChildProcess::Environment variables = environment();
        for (const auto& [key, value] : changes) variables[key] = value;
        return std::make_unique<ChildProcess>(arguments, variables, output(name));
    }
    std::filesystem::path output(const std::string& name) const { return root / (name + ".out"); }

    std::filesystem::path root;
    std::filesystem::path home;
    std::filesystem::path runtime;
    std::unique_ptr<ChildProcess> receiver;

private:
    TemporaryFolder folder_;
};

}  // namespace movira::test
